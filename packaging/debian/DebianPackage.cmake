# The Debian package maculo-pattern: the renderer with its modules and the
# plug-in library, the frei0r filter (their folders install them), and here
# the man page, the bash completion, the read-me, the copyright file and the
# changelog. `cmake --install` puts the same files under any other prefix.
include(GNUInstallDirs)

set(MACULO_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/maculo-pattern)
set(MACULO_PACKAGE_MAINTAINER "Quillfen <maculo-pattern@quillfen.invalid>")

# Debian wants man pages and changelogs compressed, reproducibly (no name or
# time in the gzip header).
function(maculo_gzip input output)
  add_custom_command(OUTPUT ${output}
                     COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${input} ${output}
                     DEPENDS ${input} VERBATIM)
endfunction()

# The man page is the program's own --help and --version, through help2man,
# so it says what the program says.
find_program(MACULO_HELP2MAN help2man)
if(MACULO_HELP2MAN)
  set(man ${CMAKE_CURRENT_BINARY_DIR}/maculo-render.1)
  add_custom_command(OUTPUT ${man}
                     COMMAND ${MACULO_HELP2MAN} --no-info --section=1
                             "--name=render the Maculo Pattern effect outside the host"
                             --include=${CMAKE_CURRENT_SOURCE_DIR}/maculo-render.h2m
                             --output=${man} $<TARGET_FILE:maculo-render>
                     DEPENDS maculo-render ${CMAKE_CURRENT_SOURCE_DIR}/maculo-render.h2m VERBATIM)
  maculo_gzip(${man} ${man}.gz)
  add_custom_target(maculo_man_page ALL DEPENDS ${man}.gz)
  install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(STATUS "help2man not found: no man page for maculo-render")
endif()

install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/maculo-render.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME maculo-render)

# The changelog's date is SOURCE_DATE_EPOCH's when it is set (package.sh
# sets it to the last commit's), so a rebuild gives the same package.
string(TIMESTAMP MACULO_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
maculo_gzip(${CMAKE_CURRENT_BINARY_DIR}/changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_target(maculo_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright
              ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${MACULO_DOC_DIR})

set(CPACK_GENERATOR DEB)
# Debian ships binaries without their symbol tables. (The Windows plug-in is
# linked without one, and shipped as built.)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_NAME maculo-pattern)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MACULO_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies are the libraries the binaries link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary above this, as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "The Maculo Pattern effect turns a picture into an organic labyrinth of spots
and stripes: it blurs the picture, sharpens it again with an unsharp mask,
clamps it and repeats.
.
This package holds maculo-render, which renders the effect into image files
through the plug-in's own library, and the effect as a frei0r filter,
maculo_pattern, for ffmpeg, MLT (melt) and the video editors built on them.")
