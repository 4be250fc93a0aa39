# Resources of the Windows build. The language tables are kept in the
# repository as UTF-8 text (resources/languages/<section>.txt) and made here
# into the UTF-16LE INI resources that aerovane.rc includes; windres finds
# them through an include directory in the build tree. Expects
# RESOURCE_SCRIPTS (the .rc files) to be set.
set(LANGUAGE_RESOURCE_DIR ${CMAKE_BINARY_DIR}/languages)
set(LANGUAGE_SCRIPT ${CMAKE_SOURCE_DIR}/resources/languages/make-language.sh)
set(LANGUAGE_RESOURCES)
foreach(section english germany france italy spanish)
  set(source ${CMAKE_SOURCE_DIR}/resources/languages/${section}.txt)
  set(output ${LANGUAGE_RESOURCE_DIR}/${section}.ini)
  add_custom_command(OUTPUT ${output}
                     COMMAND sh ${LANGUAGE_SCRIPT} ${source} ${output}
                     DEPENDS ${source} ${LANGUAGE_SCRIPT}
                     COMMENT "Making language resource ${section}.ini"
                     VERBATIM)
  list(APPEND LANGUAGE_RESOURCES ${output})
endforeach()
add_custom_target(language_resources ALL DEPENDS ${LANGUAGE_RESOURCES})

# windres reports no header or file dependencies, so every resource script
# is rebuilt when the ids, an image or a language table change.
file(GLOB RESOURCE_IMAGES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/resources/images/*.ico ${CMAKE_SOURCE_DIR}/resources/images/*.bmp)
foreach(script IN LISTS RESOURCE_SCRIPTS)
  set_property(SOURCE ${script} APPEND PROPERTY INCLUDE_DIRECTORIES ${LANGUAGE_RESOURCE_DIR})
  set_property(SOURCE ${script} APPEND PROPERTY OBJECT_DEPENDS
               ${LANGUAGE_RESOURCES} ${RESOURCE_IMAGES} ${CMAKE_SOURCE_DIR}/resources/resource_ids.h)
endforeach()
