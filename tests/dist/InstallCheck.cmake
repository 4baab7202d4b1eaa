# SPDX-License-Identifier: MIT
# Installs the build into a fresh prefix and checks what a desktop reads from it:
#   cmake -DBUILD=... -DPREFIX=... -DAPP_ID=... -DDESKTOP_VALIDATE=... -DAPPSTREAM=... -P InstallCheck.cmake
file(REMOVE_RECURSE ${PREFIX})
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}")
    endif()
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX})
run(${DESKTOP_VALIDATE} ${PREFIX}/share/applications/${APP_ID}.desktop)
run(${APPSTREAM} validate --pedantic --no-net ${PREFIX}/share/metainfo/${APP_ID}.metainfo.xml)
# The menu entry's icon and programs are there under the names it uses.
foreach(file bin/vellmar bin/vellmar-upload bin/vellmar-grab bin/vellmar-testhost
        share/icons/hicolor/scalable/apps/${APP_ID}.svg share/icons/hicolor/48x48/apps/${APP_ID}.png
        share/man/man1/vellmar.1.gz share/bash-completion/completions/vellmar-upload)
    if(NOT EXISTS ${PREFIX}/${file})
        message(FATAL_ERROR "${file} is not installed")
    endif()
endforeach()
file(STRINGS ${PREFIX}/share/applications/${APP_ID}.desktop exec REGEX "^(Exec|Icon)=")
if(NOT exec STREQUAL "Exec=vellmar %F;Icon=${APP_ID}")
    message(FATAL_ERROR "unexpected ${exec}")
endif()
