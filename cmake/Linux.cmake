# The native Linux side: the console simulator serving a Unix
# SOCK_SEQPACKET socket.
add_executable(aerovane-sim ${CMAKE_SOURCE_DIR}/sim/console_sim_linux.cpp)
target_link_libraries(aerovane-sim PRIVATE aerovane_core)
aerovane_warnings(aerovane-sim)
