# cmake -DSCDOC=... -DENTREE=page.scd -DSORTIE=page -P ManPage.cmake: the man page SORTIE.gz
# made from its scdoc source, compressed without a time stamp (as Debian wants it).
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${ENTREE}" OUTPUT_FILE "${SORTIE}"
                RESULT_VARIABLE resultat)
if(NOT resultat EQUAL 0)
    file(REMOVE "${SORTIE}")
    message(FATAL_ERROR "scdoc failed on ${ENTREE}: ${resultat}")
endif()
execute_process(COMMAND gzip -9nf "${SORTIE}" RESULT_VARIABLE resultat)
if(NOT resultat EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${SORTIE}")
endif()
