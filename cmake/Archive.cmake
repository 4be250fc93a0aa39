# The archive (SQLite), which only the Linux program keeps: built in the
# host tree, with its tests (AEROVANE_TESTS) under the sanitizers like the
# core's.
find_package(SQLite3 REQUIRED)
file(GLOB ARCHIVE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/archive/*.cpp)

add_library(aerovane_archive STATIC ${ARCHIVE_SOURCES})
target_link_libraries(aerovane_archive PUBLIC aerovane_core SQLite::SQLite3)
aerovane_warnings(aerovane_archive)

if(AEROVANE_TESTS)
  add_library(aerovane_archive_checked STATIC ${ARCHIVE_SOURCES})
  target_link_libraries(aerovane_archive_checked PUBLIC aerovane_core_checked SQLite::SQLite3)
  aerovane_warnings(aerovane_archive_checked)

  # Writes batches and says each commit, for the test that kills a writer.
  add_executable(archive_writer_probe ${CMAKE_SOURCE_DIR}/tests/archive/archive_writer_probe.cpp)
  target_link_libraries(archive_writer_probe PRIVATE aerovane_archive)
  aerovane_warnings(archive_writer_probe)

  file(GLOB_RECURSE ARCHIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_archivetest.cpp)
  add_executable(archive_tests ${ARCHIVE_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/process_linux.cpp)
  target_link_libraries(archive_tests PRIVATE aerovane_archive_checked GTest::gtest_main)
  target_compile_definitions(archive_tests PRIVATE ARCHIVE_WRITER_PROBE="$<TARGET_FILE:archive_writer_probe>"
                             AEROVANE_BINARY="$<TARGET_FILE:aerovane>" AEROVANE_SIM_BINARY="$<TARGET_FILE:aerovane-sim>"
                             AEROVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_dependencies(archive_tests archive_writer_probe)
  if(CMAKE_CROSSCOMPILING_EMULATOR)
    string(REPLACE ";" " " emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
    target_compile_definitions(archive_tests PRIVATE TEST_PROGRAM_EMULATOR="${emulator}")
  endif()
  aerovane_warnings(archive_tests)
  gtest_discover_tests(archive_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)

  if(TARGET archive_bench)
    target_link_libraries(archive_bench PRIVATE aerovane_linux)
  endif()
endif()
