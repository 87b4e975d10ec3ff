# Cross-compiling for Windows with MinGW-w64.
# BRIVANTA_ARCH: i686 (what we ship) or x86_64 (tests on hosts whose Wine
# can only run 64-bit programs). BRIVANTA_THREADS: "win32" for what we ship
# (it must load on Windows 95/98), "posix" for tests (GoogleTest needs it).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT BRIVANTA_ARCH)
  set(BRIVANTA_ARCH i686)
endif()
if(NOT BRIVANTA_THREADS)
  set(BRIVANTA_THREADS win32)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${BRIVANTA_ARCH})
set(_triple ${BRIVANTA_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-${BRIVANTA_THREADS})
set(CMAKE_CXX_COMPILER ${_triple}-g++-${BRIVANTA_THREADS})
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run under Wine in the prefix the test run made.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
