# Fails unless LIBRARY exports exactly the two entry points.
# Usage: cmake -DNM=<nm> -DLIBRARY=<path> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} could not read ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${listing}")
list(TRANSFORM names STRIP)
list(SORT names)
if(NOT names STREQUAL "EffectMain;PluginDataEntryFunction")
  message(FATAL_ERROR "exported: ${names}")
endif()
