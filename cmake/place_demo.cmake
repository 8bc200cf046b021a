# Places the demo installation next to the built programs. Run at every build; a file that
# is already there is left alone, so the scenarios a user saved in the demo survive rebuilds.
#
# Inputs: SRC (demo/ of the sources), DEST (<build>/demo), BIN (<build>/bin),
#         MODEL_EXE (file name of the stand-in model), ACCESS_EXE (the reporting program).
cmake_minimum_required(VERSION 3.25)

set(KV_DEMO_MODEL ${DEST}/model)
set(KV_DEMO_DATA ${DEST}/data)

file(GLOB_RECURSE demo_files RELATIVE ${SRC} ${SRC}/model/* ${SRC}/data/*)
foreach(rel IN LISTS demo_files)
    if(rel MATCHES "\\.opt\\.in$")
        string(REGEX REPLACE "\\.in$" "" target_rel ${rel})
        if(NOT EXISTS ${DEST}/${target_rel})
            configure_file(${SRC}/${rel} ${DEST}/${target_rel} @ONLY NEWLINE_STYLE CRLF)
        endif()
    elseif(NOT EXISTS ${DEST}/${rel})
        get_filename_component(dir ${DEST}/${rel} DIRECTORY)
        file(MAKE_DIRECTORY ${dir})
        file(COPY_FILE ${SRC}/${rel} ${DEST}/${rel})
    endif()
endforeach()

# kv-gui.ini is written only when none exists, so a first start goes straight into the demo
# and a user's own settings are never replaced.
if(NOT EXISTS ${BIN}/kv-gui.ini)
    file(MAKE_DIRECTORY ${BIN})
    string(CONCAT ini
        "${KV_DEMO_MODEL}\t:model directory\r\n"
        "${MODEL_EXE}\t:model executable\r\n"
        "demo.opt\t:input option file\r\n"
        "county.opt\t:output option file\r\n"
        "${KV_DEMO_DATA}\t:Data dir\r\n"
        "${ACCESS_EXE}\t:ACCESS executable\r\n")
    file(WRITE ${BIN}/kv-gui.ini "${ini}")
endif()
