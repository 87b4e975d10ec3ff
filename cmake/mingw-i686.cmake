# Cross-compiling for 32-bit Windows with MinGW-w64. BRIVANTA_THREADS picks
# the compiler: "posix" for test executables, "win32" for what we ship.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
if(NOT BRIVANTA_THREADS)
  set(BRIVANTA_THREADS win32)
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${BRIVANTA_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${BRIVANTA_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests run under Wine in the prefix the test run made.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tools/wine-run.sh)
