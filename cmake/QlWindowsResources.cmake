# The icon and version information Windows shows for each program (Explorer,
# the title bar, the taskbar): one resource script per executable.
enable_language(RC)

function(ql_windows_resource target description)
    set(QL_RC_NAME ${target})
    set(QL_RC_FILE ${target}.exe)
    set(QL_RC_DESCRIPTION "${description}")
    set(QL_RC_ICON ${CMAKE_SOURCE_DIR}/packaging/windows/ql-rs485.ico)
    set(script ${CMAKE_BINARY_DIR}/generated/${target}.rc)
    configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/program.rc.in ${script} @ONLY)
    target_sources(${target} PRIVATE ${script})
endfunction()

ql_windows_resource(ql-rs485 "ql-rs485 meter reader")
ql_windows_resource(ql-rs485-cli "ql-rs485 command-line reader")
ql_windows_resource(ql-rs485-sim "ql-rs485 simulated meter")
ql_windows_resource(ql-rs485-xls-reader "ql-rs485 .xls workbook reader")

# The window program opens no console window beside it.
set_target_properties(ql-rs485 PROPERTIES WIN32_EXECUTABLE ON)
