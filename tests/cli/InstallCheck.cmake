# cmake -DBUILD=<build folder> -DWORK=<scratch folder> [-DMODULE_LINKED=1] -P InstallCheck.cmake
# An install tree copied elsewhere renders: the program finds the plug-in
# relative to itself, and its modules likewise. A program copied alone still
# answers --help, --version and a command-line mistake, which load neither
# the modules nor the image libraries, and says it has no render module.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/installed
                OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cmake --install failed")
endif()
file(COPY ${WORK}/installed/ DESTINATION ${WORK}/copied)
file(REMOVE_RECURSE ${WORK}/installed)
file(GLOB program ${WORK}/copied/*/maculo-render)
file(COPY ${program} DESTINATION ${WORK}/alone)

# Runs the program, expecting its exit code and, on standard error, `says`
# (a regular expression) but never `never` (unless that is empty).
function(expect code says never)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE got OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT got EQUAL code OR NOT err MATCHES "${says}" OR (never AND err MATCHES "${never}"))
    message(FATAL_ERROR "${ARGN}: exit ${got}, wanted ${code} saying '${says}', never '${never}': ${err}")
  endif()
endfunction()
expect(0 "" "" ${program} --size 8x8 --amount 1 -o ${WORK}/copied.png)
if(NOT EXISTS ${WORK}/copied.png)
  message(FATAL_ERROR "the copied install tree did not render")
endif()
# A sanitizer build links the module to the program: what follows is moot.
if(MODULE_LINKED)
  file(REMOVE_RECURSE ${WORK})
  return()
endif()
# The dynamic loader lists every library it opens: answering the command line
# opens no module, even where the modules lie ready, and telling about the
# plug-in opens no image library.
foreach(answer "0;--help" "0;--version" "2;--bogus")
  list(POP_FRONT answer code)
  expect(${code} "" "OpenImageIO|libmaculo-" ${CMAKE_COMMAND} -E env LD_DEBUG=files ${program} ${answer})
endforeach()
expect(0 "libmaculo-render" "OpenImageIO|libmaculo-files" ${CMAKE_COMMAND} -E env LD_DEBUG=files ${program} --about)
# Without its file module the program renders nothing and says why.
file(GLOB files_module ${WORK}/copied/*/*/libmaculo-files.so ${WORK}/copied/*/*/*/libmaculo-files.so)
file(RENAME ${files_module} ${WORK}/files-module-aside.so)
# (The run had reached its frames: its closing line follows.)
expect(1 "^maculo-render: cannot open its file module [^\n]*\nmaculo-render: [^\n]*: rendered 0 frames, kept 0, failed 1 [^\n]*\n$" ""
       ${program} --size 8x8 -o ${WORK}/no-files.png)
if(EXISTS ${WORK}/no-files.png)
  message(FATAL_ERROR "the program rendered without its file module")
endif()
expect(0 "" "" ${WORK}/alone/maculo-render --help)
expect(0 "" "" ${WORK}/alone/maculo-render --version)
expect(2 "unknown option" "module" ${WORK}/alone/maculo-render --bogus)
expect(1 "^maculo-render: cannot open its render module [^\n]*\n$" "" ${WORK}/alone/maculo-render --size 8x8 -o ${WORK}/alone.png)
if(EXISTS ${WORK}/alone.png)
  message(FATAL_ERROR "the program alone rendered")
endif()
file(REMOVE_RECURSE ${WORK})
