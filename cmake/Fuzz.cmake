# Fuzz tree (build/fuzz, -DAEROVANE_FUZZ=ON, clang): one libFuzzer target
# per fuzz/*_fuzz.cpp under AddressSanitizer and UBSan. The core is built
# with coverage instrumentation so the fuzzer sees inside it; scripts/fuzz.sh
# runs the targets.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz tree needs clang (CC=clang CXX=clang++)")
endif()

set(FUZZ_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_library(aerovane_core_fuzz STATIC ${CORE_SOURCES} ${SIM_CORE_SOURCES})
target_include_directories(aerovane_core_fuzz PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(aerovane_core_fuzz PRIVATE -fsanitize=fuzzer-no-link PUBLIC ${FUZZ_SANITIZE})
target_link_options(aerovane_core_fuzz PUBLIC ${FUZZ_SANITIZE})
aerovane_warnings(aerovane_core_fuzz)
# The plain core is only needed by the seed generator.
set_target_properties(aerovane_core PROPERTIES EXCLUDE_FROM_ALL ON)

file(GLOB FUZZ_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/*_fuzz.cpp)
foreach(source IN LISTS FUZZ_SOURCES)
  get_filename_component(name ${source} NAME_WE)
  string(REGEX REPLACE "_fuzz$" "" target ${name})
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE aerovane_core_fuzz)
  aerovane_warnings(${name})
  # The console model the tests drive the reader with.
  if(target STREQUAL "history_model")
    target_sources(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/link/history_model.cpp)
  endif()
  # Each seed and regression input once: quick, and a fixed fault that
  # comes back fails here before any fuzzing.
  set(inputs ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
  if(EXISTS ${CMAKE_SOURCE_DIR}/fuzz/regressions/${target})
    list(APPEND inputs ${CMAKE_SOURCE_DIR}/fuzz/regressions/${target})
  endif()
  add_test(NAME fuzz.replay.${target} COMMAND ${name} -runs=0 ${inputs})
endforeach()

# Regenerates the seed corpora: cmake --build build/fuzz --target fuzz_seeds
add_executable(make_fuzz_seeds EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/fuzz/make_seeds.cpp
               ${CMAKE_SOURCE_DIR}/tests/link/history_model.cpp)
target_link_libraries(make_fuzz_seeds PRIVATE aerovane_core)
aerovane_warnings(make_fuzz_seeds)
set(SEED_DIRECTORIES)
foreach(target report_reader station_record export_row upload_request reply_classification settings_value
               history_model)
  list(APPEND SEED_DIRECTORIES ${CMAKE_SOURCE_DIR}/fuzz/corpus/${target})
endforeach()
add_custom_target(fuzz_seeds
                  COMMAND ${CMAKE_COMMAND} -E make_directory ${SEED_DIRECTORIES}
                  COMMAND make_fuzz_seeds ${CMAKE_SOURCE_DIR}/fuzz/corpus
                  COMMENT "Writing the fuzz seed corpora"
                  VERBATIM)
