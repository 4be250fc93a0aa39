# The native Linux side: the console simulator serving a Unix
# SOCK_SEQPACKET socket, and the Linux shell (*_linux.cpp over the core,
# console access through hidapi's hidraw back end).
add_executable(aerovane-sim ${CMAKE_SOURCE_DIR}/sim/console_sim_linux.cpp)
target_link_libraries(aerovane-sim PRIVATE aerovane_core)
aerovane_warnings(aerovane-sim)

find_package(Threads REQUIRED)
find_path(HIDAPI_INCLUDE_DIR hidapi/hidapi.h REQUIRED)
find_library(HIDAPI_HIDRAW_LIBRARY hidapi-hidraw REQUIRED)

add_library(aerovane_linux STATIC ${LINUX_SHELL_SOURCES})
target_include_directories(aerovane_linux PUBLIC ${HIDAPI_INCLUDE_DIR})
target_link_libraries(aerovane_linux PUBLIC aerovane_core ${HIDAPI_HIDRAW_LIBRARY} Threads::Threads)
aerovane_warnings(aerovane_linux)
