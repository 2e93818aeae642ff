# The native tree as 32-bit x86 programs (the system's compiler with -m32,
# from g++-multilib). This machine's kernel does not run them itself:
# ctest, test discovery and the tests' own child processes run them under
# qemu-i386-static. GoogleTest comes from its sources, as Debian ships it
# for 64-bit only.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# Large-file interfaces: without them stat and readdir fail (EOVERFLOW) on
# file systems with 64-bit inode numbers, and files over 2 GiB cannot be read.
set(CMAKE_C_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-m32 -D_FILE_OFFSET_BITS=64")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

find_program(PAGORA_QEMU_I386 qemu-i386-static)
if(NOT PAGORA_QEMU_I386)
  message(FATAL_ERROR "qemu-i386-static not found (install qemu-user-static)")
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PAGORA_QEMU_I386})

list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR}/gtest-source)
