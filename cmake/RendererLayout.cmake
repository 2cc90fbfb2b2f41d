# Where the renderer's binaries lie, for the folders that build them. An
# install puts the program in bin/ and the plug-in and the program's modules
# in a folder of their own under lib/; the program finds them by the path
# between the two (MACULO_PLUGIN_FROM_PROGRAM). In a build tree they all lie
# together in bin/.
include(GNUInstallDirs)
set(MACULO_PLUGIN_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/maculo-pattern)
file(RELATIVE_PATH MACULO_PLUGIN_FROM_PROGRAM /${CMAKE_INSTALL_BINDIR} /${MACULO_PLUGIN_INSTALL_DIR})

# Puts the library `target` in the plug-in's folder, in a build tree and in an install.
function(maculo_in_plugin_folder target)
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  install(TARGETS ${target} LIBRARY DESTINATION ${MACULO_PLUGIN_INSTALL_DIR})
endfunction()
