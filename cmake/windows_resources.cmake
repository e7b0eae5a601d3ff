# A Windows program's version resource and manifest, from the project's
# version: kes_windows_resources(<target> "<description>").
function(kes_windows_resources target description)
  set(KES_PROGRAM ${target})
  set(KES_DESCRIPTION ${description})
  set(KES_FILE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
  string(REPLACE "." "," KES_VERSION_COMMAS ${KES_FILE_VERSION})
  set(KES_MANIFEST ${CMAKE_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.manifest.in
                 ${KES_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/program.rc.in
                 ${CMAKE_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/${target}.rc)
  # The resource compiler reads the manifest when it builds the resource.
  set_property(SOURCE ${CMAKE_BINARY_DIR}/${target}.rc APPEND PROPERTY
               OBJECT_DEPENDS ${KES_MANIFEST})
endfunction()
