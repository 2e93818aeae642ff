# find_package(GTest) for builds that take GoogleTest from its sources
# (cmake/googletest-source.cmake); the toolchain puts this folder on the
# module path.
include(${CMAKE_CURRENT_LIST_DIR}/../googletest-source.cmake)
pagora_googletest_from_source(ON)
set(GTest_FOUND TRUE)
set(GTEST_FOUND TRUE)
