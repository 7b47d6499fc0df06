# ql_add_gtest(NAME name SOURCES ... LIBS ...): a GoogleTest executable registered
# with CTest. Tests run from the program folder so helper executables are found.
function(ql_add_gtest)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    # Test tables compile in half the time without optimisation; no test needs moc.
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin
                                               AUTOMOC OFF)
    target_compile_options(${T_NAME} PRIVATE -O0)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    # Every .xls file is read by the helper executable (the tests' own included).
    add_dependencies(${T_NAME} ql-rs485-xls-reader)
    target_compile_definitions(${T_NAME} PRIVATE QL_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                                                 QL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# ql_add_qtest(NAME name SOURCES ... LIBS ...): a Qt Test executable, run offscreen.
function(ql_add_qtest)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests-bin)
    target_compile_options(${T_NAME} PRIVATE -O0)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Test)
    add_dependencies(${T_NAME} ql-rs485-xls-reader)
    target_compile_definitions(${T_NAME} PRIVATE QL_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                                                 QL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
    # Qt Test's crash handler starts a debugger that can hang a crashed test for minutes.
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} -nocrashhandler WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
