# cmake -DBUILD=<build folder> -DWORK=<scratch folder> [-DPRELOAD=<sanitizer runtime>] -P InstallCheck.cmake
# The install puts the filter where hosts look for it, and the command the
# README gives renders with it from there; the editors' files go beside it.
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}/prefix OUTPUT_QUIET RESULT_VARIABLE failed)
if(failed OR NOT EXISTS ${WORK}/prefix/lib/frei0r-1/maculo_pattern.so)
  message(FATAL_ERROR "cmake --install did not put maculo_pattern.so in lib/frei0r-1")
endif()
# And the editors' descriptions where Kdenlive and Shotcut look below a prefix.
foreach(file share/kdenlive/effects/frei0r_maculo_pattern.xml share/shotcut/qml/filters/maculo_pattern/meta.qml
             share/shotcut/qml/filters/maculo_pattern/ui.qml)
  if(NOT EXISTS ${WORK}/prefix/${file})
    message(FATAL_ERROR "cmake --install did not put ${file}")
  endif()
endforeach()
set(ENV{FREI0R_PATH} ${WORK}/prefix/lib/frei0r-1)
if(PRELOAD)
  set(ENV{LD_PRELOAD} ${PRELOAD})
endif()
execute_process(COMMAND ffmpeg -nostdin -v error -f lavfi -i testsrc2=size=64x36:rate=25 -frames:v 2
                        -vf "frei0r=maculo_pattern:detail|box|after|0|0.02|0.02|0.1|0.004" -f null -
                RESULT_VARIABLE failed ERROR_VARIABLE err)
if(failed OR NOT err STREQUAL "")
  message(FATAL_ERROR "ffmpeg with the installed filter: ${failed} ${err}")
endif()
file(REMOVE_RECURSE ${WORK})
