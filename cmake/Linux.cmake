# The native Linux side: the console simulator serving a Unix
# SOCK_SEQPACKET socket, and the Linux shell (*_linux.cpp over the core,
# console access through hidapi's hidraw back end).
add_executable(aerovane-sim ${CMAKE_SOURCE_DIR}/sim/console_sim_linux.cpp)
target_link_libraries(aerovane-sim PRIVATE aerovane_core)
aerovane_warnings(aerovane-sim)

find_package(Threads REQUIRED)
find_package(SQLite3 REQUIRED)
find_path(HIDAPI_INCLUDE_DIR hidapi/hidapi.h REQUIRED)
find_library(HIDAPI_HIDRAW_LIBRARY hidapi-hidraw REQUIRED)
# sd_notify: the service tells systemd it is ready, how it is, and that it
# is alive (the watchdog).
find_package(PkgConfig REQUIRED)
pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
# HTTP(S) to the weather networks, with certificate checks.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
# MQTT to a home-automation hub's broker.
pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)

add_library(aerovane_linux STATIC ${LINUX_SHELL_SOURCES})
target_include_directories(aerovane_linux PUBLIC ${HIDAPI_INCLUDE_DIR})
target_link_libraries(aerovane_linux PUBLIC aerovane_core aerovane_archive ${HIDAPI_HIDRAW_LIBRARY} Threads::Threads)
target_link_libraries(aerovane_linux PRIVATE PkgConfig::SYSTEMD PkgConfig::CURL PkgConfig::MOSQUITTO)
aerovane_warnings(aerovane_linux)

add_executable(aerovane ${CMAKE_SOURCE_DIR}/app/main_linux.cpp)
target_link_libraries(aerovane PRIVATE aerovane_linux)
aerovane_warnings(aerovane)

include(GNUInstallDirs)
install(TARGETS aerovane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The service, its user and the console's udev rule. systemd reads units
# and sysusers below /usr/local/lib too; udev reads rules only from /etc
# and /usr/lib, so a prefix other than /usr puts the rule in /etc (stage
# with DESTDIR=, not --prefix, to keep it off the system).
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(AEROVANE_UDEV_RULES_DIR_DEFAULT lib/udev/rules.d)
else()
  set(AEROVANE_UDEV_RULES_DIR_DEFAULT /etc/udev/rules.d)
endif()
set(AEROVANE_UDEV_RULES_DIR ${AEROVANE_UDEV_RULES_DIR_DEFAULT} CACHE PATH "Where the udev rule goes")
configure_file(${CMAKE_SOURCE_DIR}/packaging/linux/aerovane.service ${CMAKE_BINARY_DIR}/aerovane.service @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/aerovane.service DESTINATION lib/systemd/system)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/aerovane-sysusers.conf
        DESTINATION lib/sysusers.d RENAME aerovane.conf)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/60-aerovane.rules DESTINATION ${AEROVANE_UDEV_RULES_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/aerovane.conf.example DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The manual pages: the program's commands and options, and its configuration.
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/aerovane.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/docs/man/aerovane.conf.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)

# End-to-end tests: the real `aerovane` (or its shell library) against the
# native simulator, each test file an executable of its own.
if(AEROVANE_TESTS)
  file(GLOB LINUX_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/linux/*_linuxtest.cpp)
  add_library(linux_test_support OBJECT ${CMAKE_SOURCE_DIR}/tests/support/process_linux.cpp
              ${CMAKE_SOURCE_DIR}/tests/support/test_servers_linux.cpp
              ${CMAKE_SOURCE_DIR}/tests/support/mqtt_broker_linux.cpp)
  target_link_libraries(linux_test_support PUBLIC aerovane_core gtest)
  target_compile_definitions(linux_test_support PUBLIC AEROVANE_BINARY="$<TARGET_FILE:aerovane>"
                             AEROVANE_SIM_BINARY="$<TARGET_FILE:aerovane-sim>" AEROVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
                             AEROVANE_UNIT_FILE="${CMAKE_BINARY_DIR}/aerovane.service")
  aerovane_warnings(linux_test_support)
  foreach(source IN LISTS LINUX_TEST_SOURCES)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE linux_test_support aerovane_linux SQLite::SQLite3 GTest::gtest_main)
    add_dependencies(${name} aerovane aerovane-sim)
    aerovane_warnings(${name})
    gtest_discover_tests(${name} TEST_PREFIX linux. DISCOVERY_TIMEOUT 60
                         PROPERTIES TIMEOUT 180 LABELS linux SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  endforeach()
  if(TARGET https_transport_bench)
    target_link_libraries(https_transport_bench PRIVATE linux_test_support aerovane_linux)
  endif()
  include(cmake/Report.cmake)
endif()
