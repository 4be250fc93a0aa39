# The help document and the release package of the Windows build.
#
# Aerovane_help.pdf is made from docs/help/ (groff -ms to PostScript, then
# ps2pdf) into the build tree beside aerovane.exe, where the help button
# looks for it. The target "release" packs the program, the help document
# and a read-me with Windows line endings into Aerovane-<version>-win64.zip,
# one folder that a Windows user unpacks and runs from. Both are part of
# every build, so the test of the zip's content always has a zip to read.

# The version the program shows, taken from the one place it is written.
file(STRINGS ${CMAKE_SOURCE_DIR}/resources/resource_ids.h version_line
     REGEX "#define AEROVANE_VERSION_TEXT")
string(REGEX MATCH "\"([0-9.]+)\"" version_match "${version_line}")
if(NOT CMAKE_MATCH_1)
  message(FATAL_ERROR "AEROVANE_VERSION_TEXT not found in resources/resource_ids.h")
endif()
set(AEROVANE_VERSION ${CMAKE_MATCH_1})

set(HELP_DIR ${CMAKE_SOURCE_DIR}/docs/help)
file(GLOB HELP_IMAGES CONFIGURE_DEPENDS ${HELP_DIR}/images/*.png)
set(HELP_DOCUMENT ${CMAKE_BINARY_DIR}/Aerovane_help.pdf)
add_custom_command(OUTPUT ${HELP_DOCUMENT}
                   COMMAND sh ${HELP_DIR}/make-help.sh ${AEROVANE_VERSION} ${HELP_DOCUMENT}
                   DEPENDS ${HELP_DIR}/aerovane_help.ms ${HELP_DIR}/make-help.sh ${HELP_IMAGES}
                   COMMENT "Making the help document Aerovane_help.pdf"
                   VERBATIM)
add_custom_target(help_document ALL DEPENDS ${HELP_DOCUMENT})

set(RELEASE_NAME Aerovane-${AEROVANE_VERSION}-win64)
set(RELEASE_ZIP ${CMAKE_BINARY_DIR}/${RELEASE_NAME}.zip)
set(RELEASE_README ${CMAKE_SOURCE_DIR}/docs/release/README.txt)
set(RELEASE_SCRIPT ${CMAKE_SOURCE_DIR}/scripts/make-release.sh)
add_custom_command(OUTPUT ${RELEASE_ZIP}
                   COMMAND sh ${RELEASE_SCRIPT} ${RELEASE_ZIP} ${RELEASE_NAME} ${AEROVANE_VERSION}
                           ${CMAKE_STRIP} $<TARGET_FILE:aerovane> ${HELP_DOCUMENT} ${RELEASE_README}
                   DEPENDS aerovane ${HELP_DOCUMENT} ${RELEASE_README} ${RELEASE_SCRIPT}
                   COMMENT "Packing ${RELEASE_NAME}.zip"
                   VERBATIM)
add_custom_target(release ALL DEPENDS ${RELEASE_ZIP})

# Host-side check of what a user unpacks: run by ctest, no Wine needed.
add_test(NAME release.zip_contents
         COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/release/check_release_zip.py
                 ${RELEASE_ZIP} ${RELEASE_NAME} ${AEROVANE_VERSION} ${HELP_DOCUMENT})
set_tests_properties(release.zip_contents PROPERTIES TIMEOUT 60)
