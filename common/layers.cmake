# The layers of common/, bottom to top. A file may include headers of its own layer and of the
# layers below it, never of a layer above; common/ never includes Qt nor the programs' code.
#
#   text      string, address and password routines (no I/O)
#   platform  files, processes, paths and the system (Linux)
#   config    records, INI file, settings, the program-wide values
#   i18n      translation tables
#   net       packet, probes, remote actions, wake relay, the network operations
#   startup   the start-up routine of both programs (it uses every layer)
#
# Run as a script: cmake -DROOT=<source folder> -P common/layers.cmake
# Fails (non-zero exit) with one line per offending include.
set(LAYERS text platform config i18n net startup)

if(NOT ROOT)
    message(FATAL_ERROR "layers.cmake: ROOT (the source folder) is not set")
endif()

file(GLOB_RECURSE files RELATIVE ${ROOT}/common ${ROOT}/common/*.h ${ROOT}/common/*.cpp)
list(SORT files)
list(JOIN LAYERS ", " layer_names)
set(faults "")
foreach(file ${files})
    string(REGEX MATCH "^[^/]+/" folder "${file}")
    string(REGEX REPLACE "/$" "" folder "${folder}")
    list(FIND LAYERS "${folder}" level)
    if(level EQUAL -1)
        list(APPEND faults "common/${file}: not in a layer folder (${layer_names})")
        continue()
    endif()
    file(STRINGS ${ROOT}/common/${file} includes REGEX "^[ \t]*#[ \t]*include")
    foreach(line ${includes})
        if(line MATCHES "include[ \t]*[<\"]common/([^/]+)/")
            list(FIND LAYERS "${CMAKE_MATCH_1}" other)
            if(other GREATER level OR other EQUAL -1)
                list(APPEND faults
                     "common/${file}: ${folder} includes ${CMAKE_MATCH_1}, a layer above its own")
            endif()
        elseif(line MATCHES "include[ \t]*[<\"](gui|batch|tools|tests|bench)/")
            list(APPEND faults "common/${file}: includes the code of ${CMAKE_MATCH_1}/")
        elseif(line MATCHES "include[ \t]*<Q[A-Za-z]*[>/]")
            list(APPEND faults "common/${file}: includes Qt")
        endif()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n" text)
    message(FATAL_ERROR "Layering of common/ broken:\n${text}")
endif()
