# Installed layout and the Debian package. `cpack -G DEB` in the build folder (or
# scripts/package) makes ql-rs485_<version>_amd64.deb:
#   /usr/bin                          the three executables
#   /usr/libexec/ql-rs485             the .xls reading helper they start
#   /usr/share/ql-rs485/Excel         the protocol workbook (found when none lies beside the program)
#   /usr/share/ql-rs485/manual        the manual the help menu opens
#   /usr/share/applications, icons/hicolor, metainfo, man/man1, doc/ql-rs485
include(GNUInstallDirs)

set(QL_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(QL_APP_ID com.quellon.QlRs485)
set(QL_GENERATED_PACKAGING ${CMAKE_BINARY_DIR}/packaging)

install(TARGETS ql-rs485 ql-rs485-cli ql-rs485-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The .xls helper is started by the programs, never by the operator.
install(TARGETS ql-rs485-xls-reader RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/ql-rs485)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/Excel DESTINATION ${CMAKE_INSTALL_DATADIR}/ql-rs485)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/doc/manual DESTINATION ${CMAKE_INSTALL_DATADIR}/ql-rs485)

install(FILES ${QL_PACKAGING_DIR}/${QL_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QL_PACKAGING_DIR}/icons/ql-rs485.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${QL_PACKAGING_DIR}/icons/ql-rs485-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ql-rs485.png)
endforeach()

# Files that carry the version, and the compressed man pages and changelog Debian wants.
configure_file(${QL_PACKAGING_DIR}/${QL_APP_ID}.metainfo.xml.in
               ${QL_GENERATED_PACKAGING}/${QL_APP_ID}.metainfo.xml @ONLY)
install(FILES ${QL_GENERATED_PACKAGING}/${QL_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
find_program(QL_GZIP gzip)
set(QL_GZIPPED)
foreach(page ql-rs485.1 ql-rs485-cli.1 ql-rs485-sim.1 changelog)
    if(page MATCHES "\\.1$")
        configure_file(${QL_PACKAGING_DIR}/man/${page}.in ${QL_GENERATED_PACKAGING}/${page} @ONLY)
    else()
        configure_file(${QL_PACKAGING_DIR}/${page}.in ${QL_GENERATED_PACKAGING}/${page} @ONLY)
    endif()
    add_custom_command(OUTPUT ${QL_GENERATED_PACKAGING}/${page}.gz
                       COMMAND ${QL_GZIP} -9nc ${page} > ${page}.gz
                       DEPENDS ${QL_GENERATED_PACKAGING}/${page}
                       WORKING_DIRECTORY ${QL_GENERATED_PACKAGING})
    list(APPEND QL_GZIPPED ${QL_GENERATED_PACKAGING}/${page}.gz)
endforeach()
add_custom_target(ql_packaging_files ALL DEPENDS ${QL_GZIPPED})
foreach(page ql-rs485.1 ql-rs485-cli.1 ql-rs485-sim.1)
    install(FILES ${QL_GENERATED_PACKAGING}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${QL_GENERATED_PACKAGING}/changelog.gz ${QL_PACKAGING_DIR}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ql-rs485)

# Installs into a scratch prefix and checks the layout and that an installed
# program finds the shipped workbook in share/ql-rs485.
if(QL_BUILD_TESTS)
    add_test(NAME package_install_tree
             COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DPREFIX=${CMAKE_BINARY_DIR}/install-check
                     -DAPP_ID=${QL_APP_ID} -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstallTree.cmake)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ql-rs485)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Quellon)
set(CPACK_PACKAGE_CONTACT "Quellon <support@quellon.example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "RS485 test and read-out tool for gas meters")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop tool that identifies gas volume correctors and gas flow meters\n"
    "on an RS485 line, reads their stored records into a table, logs every\n"
    "frame, exports to spreadsheets and shows live parameters. With a\n"
    "command-line reader and a simulated meter.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform plugins and its own dialogs' Chinese translation at run
# time, so shlibdeps cannot see them. Every caption is Chinese: without a CJK font
# the window is boxes, and WenQuanYi Micro Hei alone leaves "℃" blank. The store's
# SQL drivers are plugins too: SQLite is the default store, PostgreSQL a choice.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-wqy-zenhei | fonts-noto-cjk, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
