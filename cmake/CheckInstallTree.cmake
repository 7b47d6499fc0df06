# ctest package_install_tree: cmake -DBUILD_DIR=… -DPREFIX=… -DAPP_ID=… -P CheckInstallTree.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${status}")
endif()

set(expected
    bin/ql-rs485 bin/ql-rs485-cli bin/ql-rs485-sim libexec/ql-rs485/ql-rs485-xls-reader
    share/ql-rs485/Excel/VarnelModbus.xls
    share/ql-rs485/manual/index.html
    share/applications/${APP_ID}.desktop
    share/icons/hicolor/scalable/apps/ql-rs485.svg
    share/icons/hicolor/48x48/apps/ql-rs485.png
    share/metainfo/${APP_ID}.metainfo.xml
    share/man/man1/ql-rs485-cli.1.gz share/man/man1/ql-rs485-sim.1.gz
    share/doc/ql-rs485/copyright share/doc/ql-rs485/changelog.gz)
set(missing)
foreach(file ${expected})
    if(NOT EXISTS ${PREFIX}/${file})
        list(APPEND missing ${file})
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "missing from the installed tree: ${missing}")
endif()

# Every image the manual shows is installed with it.
file(READ ${PREFIX}/share/ql-rs485/manual/index.html manual)
string(REGEX MATCHALL "src=\"[^\"]+\"" images "${manual}")
foreach(image ${images})
    string(REGEX REPLACE "src=\"([^\"]+)\"" "\\1" image "${image}")
    if(NOT EXISTS ${PREFIX}/share/ql-rs485/manual/${image})
        message(FATAL_ERROR "the manual shows ${image}, which is not installed")
    endif()
endforeach()

# Nothing lies beside the installed executables: the workbook comes from share/.
execute_process(COMMAND ${PREFIX}/bin/ql-rs485-cli frame --kind 51 --block 1
                RESULT_VARIABLE status OUTPUT_VARIABLE frame ERROR_VARIABLE error)
if(NOT status EQUAL 0 OR NOT frame MATCHES "^17 03 ")
    message(FATAL_ERROR "installed ql-rs485-cli did not find its workbook: ${status} ${frame} ${error}")
endif()

# The window program started from the installed tree keeps its settings in the
# per-user folder and must still find the shared workbook; when it does not, it
# names the workbook on stderr and waits at its warning until the timeout.
set(home ${PREFIX}/home)
file(MAKE_DIRECTORY ${home})
execute_process(COMMAND ${CMAKE_COMMAND} -E env HOME=${home} XDG_CONFIG_HOME=${home}/.config
                        QT_QPA_PLATFORM=offscreen ${PREFIX}/bin/ql-rs485
                WORKING_DIRECTORY ${home} TIMEOUT 4 OUTPUT_QUIET ERROR_VARIABLE error)
if(error MATCHES "Excel/")
    message(FATAL_ERROR "installed ql-rs485 did not find its workbook: ${error}")
endif()
