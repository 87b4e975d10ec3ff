# The host's make-disks, built natively in a nested build that has no other
# target (BRIVANTA_HOST_TOOLS_DIR): the installation under Wine writes its
# disks with it.
include(ExternalProject)
ExternalProject_Add(host_tools
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
  CMAKE_ARGS -DBRIVANTA_TOOLS_ONLY=ON -DCMAKE_BUILD_TYPE=Release
  INSTALL_COMMAND ""
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/host-tools/tools/make-disks
  BUILD_ALWAYS ON)
set(BRIVANTA_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
