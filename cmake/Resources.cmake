# The program's resources come from resources/setup.rc. The Win32 build
# compiles it with windres; the host build embeds the same files through
# tools/rc-embed (string tables, dialog templates, custom resources).
set(BRIVANTA_RC ${CMAKE_SOURCE_DIR}/resources/setup.rc)

function(brivanta_add_resources target)
  if(WIN32)
    target_sources(${target} PRIVATE ${BRIVANTA_RC})
  else()
    target_link_libraries(${target} PRIVATE host_resources)
  endif()
endfunction()

if(NOT WIN32)
  set(_embedded ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
  file(GLOB _resource_files ${CMAKE_SOURCE_DIR}/resources/*)
  add_custom_command(
    OUTPUT ${_embedded}
    COMMAND rc-embed ${BRIVANTA_RC} ${_embedded}
    DEPENDS ${_resource_files} rc-embed
    COMMENT "Embedding the resources of setup.rc")
  # An object library, so the registration runs in every program linked with it.
  add_library(host_resources OBJECT ${_embedded})
  target_link_libraries(host_resources PUBLIC platform)
endif()
