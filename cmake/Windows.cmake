# Windows build: the program, the console simulator, and the same core tests
# plus the Win32 tests, all run under Wine by ctest.
include(cmake/GoogleTestFromSource.cmake)

set(WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/scripts/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

set(WIN32_LIBRARIES setupapi hid user32 gdi32 comctl32 comdlg32 shell32 advapi32 ws2_32)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
# The upload transport is core code, and on Windows its sockets are Winsock.
target_link_libraries(aerovane_core PUBLIC ws2_32)

if(SHELL_SOURCES)
  add_library(aerovane_shell STATIC ${SHELL_SOURCES})
  target_link_libraries(aerovane_shell PUBLIC aerovane_core ${WIN32_LIBRARIES})
else()
  add_library(aerovane_shell INTERFACE)
  target_link_libraries(aerovane_shell INTERFACE aerovane_core ${WIN32_LIBRARIES})
endif()
if(TARGET aerovane_shell AND SHELL_SOURCES)
  aerovane_warnings(aerovane_shell)
endif()

set(WINDOWS_EXES)
file(GLOB RESOURCE_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
include(cmake/Resources.cmake)
if(EXISTS ${CMAKE_SOURCE_DIR}/app/main_win.cpp)
  add_executable(aerovane WIN32 ${CMAKE_SOURCE_DIR}/app/main_win.cpp ${RESOURCE_SCRIPTS})
  target_link_options(aerovane PRIVATE -municode)
  target_link_libraries(aerovane PRIVATE aerovane_shell)
  aerovane_warnings(aerovane)
  list(APPEND WINDOWS_EXES aerovane)
endif()

file(GLOB SIM_SHELL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/sim/*_win.cpp)
if(SIM_SHELL_SOURCES)
  add_executable(aerovane-sim ${SIM_SHELL_SOURCES})
  target_link_options(aerovane-sim PRIVATE -municode)
  target_link_libraries(aerovane-sim PRIVATE aerovane_core ${WIN32_LIBRARIES})
  aerovane_warnings(aerovane-sim)
  list(APPEND WINDOWS_EXES aerovane-sim)
endif()

file(GLOB_RECURSE CORE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
if(CORE_TEST_SOURCES)
  add_executable(core_tests ${CORE_TEST_SOURCES})
  # The console model is shared with its fuzz target, so it is no test file.
  target_sources(core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/link/history_model.cpp)
  target_link_libraries(core_tests PRIVATE aerovane_core GTest::gtest_main)
  aerovane_warnings(core_tests)
  list(APPEND WINDOWS_EXES core_tests)
  add_test(NAME wine.core_tests COMMAND core_tests)
  set_tests_properties(wine.core_tests PROPERTIES TIMEOUT 300)
endif()

# Win32 tests create real windows, threads and pipes in-process. Each source
# file is its own exe, so one hung test cannot take the others with it.
file(GLOB_RECURSE WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_wintest.cpp)
# Their shared support code and the program's resources are compiled once.
file(GLOB WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*_win.cpp)
add_library(win_test_support OBJECT ${WIN_TEST_SUPPORT} ${RESOURCE_SCRIPTS})
# Tests that compare with a source file find the tree through this one file.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/tests/support/source_tree_win.cpp APPEND PROPERTY
             COMPILE_DEFINITIONS AEROVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(win_test_support PUBLIC aerovane_shell gtest)
aerovane_warnings(win_test_support)
foreach(source IN LISTS WIN_TEST_SOURCES)
  get_filename_component(name ${source} NAME_WE)
  add_executable(${name} ${source})
  target_link_libraries(${name} PRIVATE win_test_support aerovane_shell GTest::gtest_main)
  aerovane_warnings(${name})
  add_test(NAME wine.${name} COMMAND ${name})
  set_tests_properties(wine.${name} PROPERTIES TIMEOUT 300)
endforeach()

# Start-up time and memory of the program, measured from outside it with the
# console simulator (scripts/bench.sh runs it; not a test).
add_executable(startup_bench ${CMAKE_SOURCE_DIR}/bench/startup_bench_win.cpp)
target_link_options(startup_bench PRIVATE -municode)
target_link_libraries(startup_bench PRIVATE aerovane_core psapi advapi32)
aerovane_warnings(startup_bench)
list(APPEND WINDOWS_EXES startup_bench)

# The reader thread's cost while it waits and how soon it stops, in-process
# under Wine (scripts/bench.sh runs it; not a test).
add_executable(reader_idle_bench ${CMAKE_SOURCE_DIR}/bench/reader_idle_bench_win.cpp)
target_link_options(reader_idle_bench PRIVATE -municode)
target_link_libraries(reader_idle_bench PRIVATE aerovane_shell)
aerovane_warnings(reader_idle_bench)
list(APPEND WINDOWS_EXES reader_idle_bench)

# The help document beside the program and the release zip.
include(cmake/Release.cmake)

# Every exe must run on a bare Windows: no MinGW runtime DLL among its imports.
foreach(exe IN LISTS WINDOWS_EXES)
  add_test(NAME win.static_imports.${exe}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-imports.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:${exe}>)
endforeach()

# The Windows program's export of a simulated history, run under Wine by the
# native tree's linux.CrossExport test (not a test of its own).
add_executable(cross_export_probe ${CMAKE_SOURCE_DIR}/tests/export/cross_export_win.cpp)
target_link_libraries(cross_export_probe PRIVATE win_test_support aerovane_shell GTest::gtest_main)
aerovane_warnings(cross_export_probe)
