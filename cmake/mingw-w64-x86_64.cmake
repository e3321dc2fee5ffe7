# Cross build for 64-bit Windows with the mingw-w64 posix-threads compilers; the programs are linked statically.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Never pick up the build machine's own libraries or packages (its GoogleTest is a Linux one).
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# A single exe that runs on a plain Windows: libstdc++, libgcc and winpthread go inside it, not beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest runs the Windows programs under Wine, in a Wine prefix of this build tree (created by the build),
# through a script that starts a program again when Wine failed to start it at all.
find_program(ZELVORA_WINE NAMES wine wine64)
if(ZELVORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
      sh ${CMAKE_CURRENT_LIST_DIR}/wine_run.sh ${ZELVORA_WINE})
endif()
