# Run by CPack once everything is installed in the staging folder, before the package is made:
# every file under /etc is listed in the control file "conffiles", so that an upgrade keeps an
# administrator's changes. Nothing is listed (and no control file added) without such files.
# The maintainer scripts (CPACK_VELMORA_SCRIPTS, those of the relay's unit) join them.
file(GLOB_RECURSE fichiers LIST_DIRECTORIES false RELATIVE "${CPACK_TEMPORARY_DIRECTORY}"
     "${CPACK_TEMPORARY_DIRECTORY}/etc/*")
list(SORT fichiers)
set(liste "")
foreach(fichier ${fichiers})
    string(APPEND liste "/${fichier}\n")
endforeach()
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CPACK_VELMORA_SCRIPTS})
if(liste)
    file(WRITE "${CPACK_VELMORA_CONFFILES}" "${liste}")
    list(APPEND CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CPACK_VELMORA_CONFFILES}")
else()
    file(REMOVE "${CPACK_VELMORA_CONFFILES}")
endif()
