# The one version number of the product is project(VERSION ...); every executable
# and the package take it from the generated header of ql_version.
configure_file(${CMAKE_SOURCE_DIR}/cmake/ql_version.h.in ${CMAKE_BINARY_DIR}/generated/ql_version.h @ONLY)
add_library(ql_version INTERFACE)
target_include_directories(ql_version INTERFACE ${CMAKE_BINARY_DIR}/generated)
