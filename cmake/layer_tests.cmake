# Included by tests/<layer>/CMakeLists.txt: one GoogleTest executable per *_test.cpp,
# linked with the libraries in QL_TEST_LIBS.
file(GLOB QL_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
get_filename_component(QL_LAYER ${CMAKE_CURRENT_SOURCE_DIR} NAME)
if(WIN32)
    foreach(posixOnly ${QL_POSIX_ONLY_TESTS})
        list(FILTER QL_TEST_SOURCES EXCLUDE REGEX "/${posixOnly}\\.cpp$")
    endforeach()
endif()
foreach(src ${QL_TEST_SOURCES})
    get_filename_component(base ${src} NAME_WE)
    ql_add_gtest(NAME ${QL_LAYER}_${base} SOURCES ${src} LIBS ${QL_TEST_LIBS})
endforeach()

# Tests that drive the executables need them built first.
foreach(src ${QL_TEST_SOURCES})
    get_filename_component(base ${src} NAME_WE)
    add_dependencies(${QL_LAYER}_${base} ql-rs485-cli ql-rs485-sim)
endforeach()
