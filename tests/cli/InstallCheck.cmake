# cmake -DBUILD=<build folder> -DWORK=<scratch folder> -P InstallCheck.cmake
# An install tree copied elsewhere renders: the program finds the plug-in
# relative to itself. A program copied alone still answers --help and
# --version, which never load the plug-in, and says it has none.
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

function(expect code)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE got OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT got EQUAL code)
    message(FATAL_ERROR "${ARGN}: exit ${got}, wanted ${code}: ${err}")
  endif()
endfunction()
expect(0 ${program} --size 8x8 --amount 1 -o ${WORK}/copied.png)
expect(0 ${WORK}/alone/maculo-render --help)
expect(0 ${WORK}/alone/maculo-render --version)
expect(1 ${WORK}/alone/maculo-render --size 8x8 -o ${WORK}/alone.png)
if(NOT EXISTS ${WORK}/copied.png OR EXISTS ${WORK}/alone.png)
  message(FATAL_ERROR "the copied install tree did not render, or the program alone did")
endif()
file(REMOVE_RECURSE ${WORK})
