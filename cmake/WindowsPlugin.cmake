# Makes the plug-in library the Windows MaculoPattern.aex, placed at the top of
# the build folder: exactly the host's two entry points exported, undecorated,
# and the property list bytes embedded as its resource.
enable_language(RC)

function(maculo_windows_plugin target)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/resources/PropertyList.rc.in ${rc} @ONLY)
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS ${MACULO_PIPL_FILE})
  target_sources(${target} PRIVATE ${rc})
  add_dependencies(${target} maculo_pipl)
  # Shipped without a symbol table: the host needs only the export table.
  target_link_options(${target} PRIVATE -s)
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    SUFFIX ".aex"
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endfunction()
