# Windows builds: the plugin module (pagora.wfx, pagora.wfx64) with its export
# table and icon, GoogleTest built from source, test executables run under
# Wine, and the checks of the built module.

enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(PAGORA_RES_DIR ${CMAKE_CURRENT_SOURCE_DIR}/plugin/res)
set(PAGORA_ICON ${CMAKE_CURRENT_BINARY_DIR}/res/book.ico)

# The icon is drawn as text in the repository and turned into an .ico here.
add_custom_command(
  OUTPUT ${PAGORA_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/res
  COMMAND ${Python3_EXECUTABLE} ${PAGORA_RES_DIR}/make_icon.py ${PAGORA_RES_DIR}/book.txt ${PAGORA_ICON}
  DEPENDS ${PAGORA_RES_DIR}/make_icon.py ${PAGORA_RES_DIR}/book.txt
  COMMENT "Drawing the module icon"
  VERBATIM)
set_source_files_properties(${PAGORA_RES_DIR}/pagora.rc PROPERTIES
  INCLUDE_DIRECTORIES ${CMAKE_CURRENT_BINARY_DIR}/res
  OBJECT_DEPENDS ${PAGORA_ICON})

# The .def file, generated from the export table, gives the exports their
# plain names and fixed ordinals. Static runtime libraries leave the module
# importing Windows system DLLs only.
include(${CMAKE_CURRENT_LIST_DIR}/export_def.cmake)
pagora_export_def(${CMAKE_CURRENT_SOURCE_DIR}/plugin/export_table.h
                  ${CMAKE_CURRENT_BINARY_DIR}/pagora.def)
target_sources(pagora_module PRIVATE
  ${CMAKE_CURRENT_BINARY_DIR}/pagora.def
  ${PAGORA_RES_DIR}/pagora.rc
  ${PAGORA_ICON})
target_link_options(pagora_module PRIVATE -static)
target_link_libraries(pagora_module PRIVATE setupapi user32)

# Whatever builds on the platform layer needs the same libraries.
set_property(TARGET pagora_platform APPEND PROPERTY INTERFACE_LINK_LIBRARIES setupapi user32)

# Test executables link statically too, so Wine runs them without MinGW DLLs.
string(APPEND CMAKE_EXE_LINKER_FLAGS " -static")

if(PAGORA_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/googletest-source.cmake)
  pagora_googletest_from_source(OFF)

  # ctest runs every test executable under Wine in a prefix of this build.
  # The build prepares the prefix once, so the first test run does not spend
  # its time (and its listing timeouts) creating it.
  set(PAGORA_WINE_PREFIX ${CMAKE_CURRENT_BINARY_DIR}/wineprefix)
  set(PAGORA_WINE_RUN ${CMAKE_CURRENT_SOURCE_DIR}/scripts/windows-run.sh)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PAGORA_WINE_RUN} ${PAGORA_WINE_PREFIX})
  find_program(PAGORA_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine)
  if(PAGORA_WINE64)
    add_custom_command(
      OUTPUT ${PAGORA_WINE_PREFIX}/.ready
      COMMAND ${PAGORA_WINE_RUN} ${PAGORA_WINE_PREFIX} --init
      COMMENT "Preparing the Wine prefix for the Windows tests"
      VERBATIM)
    add_custom_target(pagora_wine_prefix ALL DEPENDS ${PAGORA_WINE_PREFIX}/.ready)
  else()
    message(STATUS "wine64 not found: the Windows test executables build but cannot run")
  endif()
  # Listing the tests of an executable needs Wine as well: do it when ctest
  # runs, not while building.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()

# The checks of the built module run in every Windows build; the test host
# that loads it needs a 64-bit Wine, so only the 64-bit build has it.
enable_testing()
add_subdirectory(tests/windows)
