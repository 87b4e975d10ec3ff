# The shipped programs (setup.exe and the stand-in main program brivanta.exe)
# are built with the win32-threads i686 compiler in a nested build
# (BRIVANTA_SHIPPED_DIR), as they go on the disks: the Win32 build checks
# their import tables, the host build puts them on its sample disks.
find_program(BRIVANTA_SHIP_CXX i686-w64-mingw32-g++-win32)
if(NOT BRIVANTA_SHIP_CXX)
  message(WARNING "i686-w64-mingw32-g++-win32 not found (run tools/install-deps.sh): "
    "no shipped programs, no sample disks")
  return()
endif()
# The Win32 build also makes an i686 robot there, to drive the shipped
# setup.exe under i386 Wine.
if(WIN32)
  set(_ship_robot ON)
else()
  set(_ship_robot OFF)
endif()
include(ExternalProject)
ExternalProject_Add(shipped
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/shipped
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw.cmake
             -DBRIVANTA_ARCH=i686 -DBRIVANTA_THREADS=win32 -DBRIVANTA_SHIP_ONLY=ON
             -DCMAKE_BUILD_TYPE=MinSizeRel -DBRIVANTA_SHIP_ROBOT=${_ship_robot}
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/shipped/app/setup.exe
                   ${CMAKE_BINARY_DIR}/shipped/tools/brivanta.exe
  BUILD_ALWAYS ON)
set(BRIVANTA_SHIPPED_DIR ${CMAKE_BINARY_DIR}/shipped)
