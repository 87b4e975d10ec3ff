# The shipped programs are built again with the win32-threads compiler in a
# nested build, and their import tables are checked against what Windows
# 95/98 export.
include(ExternalProject)
ExternalProject_Add(shipped
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/shipped
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw.cmake
             -DBRIVANTA_ARCH=i686 -DBRIVANTA_THREADS=win32 -DBRIVANTA_SHIP_ONLY=ON
             -DCMAKE_BUILD_TYPE=MinSizeRel
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)
ExternalProject_Get_Property(shipped BINARY_DIR)
set(BRIVANTA_SHIPPED_DIR ${BINARY_DIR} CACHE INTERNAL "")
