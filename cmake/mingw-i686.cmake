# Cross toolchain for the 32-bit plugin DLL (the one the host loads): MinGW-w64 i686.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(PAGORA_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
