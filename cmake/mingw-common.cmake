# What both MinGW-w64 cross toolchains share; the including file sets
# CMAKE_SYSTEM_PROCESSOR and PAGORA_MINGW_TRIPLE first.
# The -posix compiler variant is used because its C++ library is complete
# (threads, mutexes) and still links fully statically with -static, so the DLL
# needs no MinGW runtime DLL beside it.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PAGORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PAGORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PAGORA_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${PAGORA_MINGW_TRIPLE}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${PAGORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
