# Test support of the Windows cross build: GoogleTest built for mingw, and the Wine prefix the tests run in.
set(ZELVORA_GOOGLETEST_SOURCE "/usr/src/googletest" CACHE PATH "GoogleTest sources to build for Windows")
if(NOT EXISTS "${ZELVORA_GOOGLETEST_SOURCE}/CMakeLists.txt")
  message(FATAL_ERROR "No GoogleTest sources in ${ZELVORA_GOOGLETEST_SOURCE}: install the googletest package "
                      "or set ZELVORA_GOOGLETEST_SOURCE")
endif()
if(NOT ZELVORA_WINE)
  message(FATAL_ERROR "wine not found: the Windows tests run under Wine (install the wine and wine64 packages)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
# Its CMake project defines the same GTest::gtest and GTest::gtest_main targets as the package does.
add_subdirectory(${ZELVORA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

find_program(ZELVORA_WINESERVER NAMES wineserver REQUIRED)

# Wine's first start takes a while, so it is done once by the build rather than inside a timed test discovery.
set(ZELVORA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
add_custom_command(
  OUTPUT ${ZELVORA_WINE_PREFIX}/system.reg
  COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init
  COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${ZELVORA_WINE_PREFIX} ${ZELVORA_WINESERVER} --wait
  COMMENT "Creating the Wine prefix ${ZELVORA_WINE_PREFIX}"
  VERBATIM)
add_custom_target(zelvora_wine_prefix ALL DEPENDS ${ZELVORA_WINE_PREFIX}/system.reg)
