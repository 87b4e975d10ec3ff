# The program's resources come from resources/setup.rc. The Win32 build
# compiles it with windres; the host build embeds the same files through
# tools/rc-embed (string tables, dialog templates, custom resources).
set(BRIVANTA_RC ${CMAKE_SOURCE_DIR}/resources/setup.rc)

# windres reads the files that setup.rc names in resource statements (the
# script, the picture, the icon), which no dependency scan sees: list them,
# so a changed picture rebuilds the programs.
file(GLOB _resource_files ${CMAKE_SOURCE_DIR}/resources/*)

function(brivanta_add_resources target)
  if(WIN32)
    target_sources(${target} PRIVATE ${BRIVANTA_RC})
    set_source_files_properties(${BRIVANTA_RC} TARGET_DIRECTORY ${target}
      PROPERTIES OBJECT_DEPENDS "${_resource_files}")
  else()
    target_link_libraries(${target} PRIVATE host_resources)
  endif()
endfunction()

if(NOT WIN32)
  set(_embedded ${CMAKE_BINARY_DIR}/generated/embedded_resources.cpp)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/generated)
  add_custom_command(
    OUTPUT ${_embedded}
    COMMAND rc-embed ${BRIVANTA_RC} ${_embedded}
    DEPENDS ${_resource_files} rc-embed
    COMMENT "Embedding the resources of setup.rc")
  # An object library, so the registration runs in every program linked with it.
  add_library(host_resources OBJECT ${_embedded})
  target_link_libraries(host_resources PUBLIC platform)
endif()
