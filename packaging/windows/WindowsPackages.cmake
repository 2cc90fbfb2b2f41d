# The Windows packages: a zip (CPack) and an installer (NSIS, the `installer`
# target) of the same three files: the plug-in, a short read-me and the licence.
set(readme ${CMAKE_CURRENT_BINARY_DIR}/ReadMe.txt)
set(license ${CMAKE_CURRENT_BINARY_DIR}/License.txt)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/windows/ReadMe.txt.in ${readme} @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${license} @ONLY NEWLINE_STYLE CRLF)

install(TARGETS MaculoPattern RUNTIME DESTINATION .)
install(FILES ${readme} ${license} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME MaculoPattern-${PROJECT_VERSION}-win64)

set(installer ${CMAKE_BINARY_DIR}/MaculoPattern-${PROJECT_VERSION}-win64-setup.exe)
find_program(MACULO_MAKENSIS makensis)
if(MACULO_MAKENSIS)
  set(script ${CMAKE_CURRENT_SOURCE_DIR}/windows/MaculoPattern.nsi)
  add_custom_command(OUTPUT ${installer}
                     COMMAND ${MACULO_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DAEX=$<TARGET_FILE:MaculoPattern>
                             -DREADME=${readme} -DLICENSE=${license} -DOUTFILE=${installer} ${script}
                     DEPENDS MaculoPattern ${script} ${readme} ${license} VERBATIM)
  add_custom_target(installer DEPENDS ${installer})
else()
  add_custom_target(installer COMMAND ${CMAKE_COMMAND} -E echo "makensis not found: install Debian's nsis" COMMAND false)
endif()
