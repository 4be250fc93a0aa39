// The system's own socket calls, one platform file per side:
// socket_system_posix.cpp (BSD sockets) and socket_system_windows.cpp
// (Winsock). socket_calls.cpp builds the transport's calls on these, so the
// retry and start-up rules exist once. No system header here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "upload/socket_calls.h"

// How a system call that moved no bytes ended.
enum SystemCallEnd : int {
    CALL_INTERRUPTED = 1, // a signal came first; the call may be made again
    CALL_TIMED_OUT = 2,   // the socket's time-out ran out
    CALL_FAILED = 3,      // any other error
};

// WSAStartup(1.1) / nothing. 1 when started.
int systemStartSockets();
void systemStopSockets();

// The resolver's first IPv4 address: gethostbyname on Windows, getaddrinfo
// elsewhere (safe on several threads at once). 1 when found.
int systemLookUpHostV4(const char* host, std::uint8_t address[4]);

// socket(AF_INET, SOCK_STREAM, 0), or NO_SOCKET.
SocketHandle systemOpenStreamSocket();
// 0 when connected, -1 otherwise. milliseconds above 0: given up after that
// long, the socket left blocking as before; 0: the system's own time-out.
int systemConnect(SocketHandle socket, const Ipv4Endpoint& peer, int milliseconds);

// SO_SNDTIMEO (send true) or SO_RCVTIMEO in milliseconds; 0 when set.
int systemSetTimeout(SocketHandle socket, bool send, int milliseconds);

// One send (never raising SIGPIPE) or recv with flags 0: the bytes moved,
// or -1 with *end saying why. The failing call's own error decides, not
// SO_ERROR read afterwards: Linux hands a reset to the recv that reports it
// and clears the pending error.
long systemSend(SocketHandle socket, const char* bytes, std::size_t length, SystemCallEnd* end);
long systemReceive(SocketHandle socket, char* bytes, std::size_t capacity, SystemCallEnd* end);

// closesocket / close.
void systemCloseSocket(SocketHandle socket);
