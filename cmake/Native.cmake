# Host build: the Linux program and the native simulator (cmake/Linux.cmake,
# cmake/Archive.cmake), and with AEROVANE_TESTS the portable core's tests
# (under AddressSanitizer and UBSan) and the benchmarks (optimised, no
# sanitizers).
# OFF builds what a Raspberry Pi or a server installs, with nothing but the
# compiler, hidapi, SQLite, libsystemd and libcurl: GoogleTest and Google Benchmark
# are not looked for at all.
option(AEROVANE_TESTS "Build the tests and benchmarks (needs GoogleTest and Google Benchmark)" ON)
# A tree cross-built for a Pi's architecture runs its tests under qemu-user,
# where the sanitizers' shadow memory cannot be mapped, and needs no
# benchmarks (scripts/check-cross-tests.sh turns both off).
option(AEROVANE_TEST_SANITIZERS "Build the tests under AddressSanitizer and UBSan" ON)
option(AEROVANE_BENCHMARKS "Build the benchmarks with the tests" ON)

if(AEROVANE_TESTS)
  include(GoogleTest)
  include(cmake/GoogleTestFromSource.cmake)

  set(SANITIZE "")
  if(AEROVANE_TEST_SANITIZERS)
    set(SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  endif()
  add_library(aerovane_core_checked STATIC ${CORE_SOURCES} ${SIM_CORE_SOURCES})
  target_include_directories(aerovane_core_checked PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(aerovane_core_checked PUBLIC ${SANITIZE})
  target_link_options(aerovane_core_checked PUBLIC ${SANITIZE})
  aerovane_warnings(aerovane_core_checked)

  file(GLOB_RECURSE CORE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/*_test.cpp)
  if(CORE_TEST_SOURCES)
    add_executable(core_tests ${CORE_TEST_SOURCES})
    # The console model is shared with its fuzz target, so it is no test file.
    target_sources(core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/link/history_model.cpp)
    target_link_libraries(core_tests PRIVATE aerovane_core_checked GTest::gtest_main)
    aerovane_warnings(core_tests)
    gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()

  set(BENCH_SOURCES "")
  if(AEROVANE_BENCHMARKS)
    find_package(benchmark REQUIRED)
    file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*_bench.cpp)
  endif()
  foreach(source IN LISTS BENCH_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_compile_options(${name} PRIVATE -O2)
    target_link_libraries(${name} PRIVATE aerovane_core benchmark::benchmark_main)
    aerovane_warnings(${name})
    # A short run keeps every benchmark working; scripts/bench.sh gives figures.
    add_test(NAME bench.${name} COMMAND ${name} --benchmark_min_time=0.01)
    set_tests_properties(bench.${name} PROPERTIES LABELS bench TIMEOUT 120)
  endforeach()

  # No core file leans on a front end or on one system's headers.
  add_test(NAME core.includes COMMAND sh ${CMAKE_SOURCE_DIR}/scripts/check-core-includes.sh)
endif()

include(cmake/Linux.cmake)
include(cmake/Archive.cmake)
