# Cross toolchain for the 64-bit plugin DLL and the Windows test suite: MinGW-w64 x86-64.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(PAGORA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
