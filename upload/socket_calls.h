// The few socket calls the upload transport makes, the same on every
// platform. They sit on one platform file per side (socket_system.h), which
// alone knows whether they are BSD sockets or Winsock; nothing here pulls a
// system header in.
#pragma once

#include <cstddef>
#include <cstdint>

// Wide enough for a Winsock SOCKET (UINT_PTR) and for a descriptor.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle NO_SOCKET = ~static_cast<SocketHandle>(0);

// An IPv4 peer: the address in network order, the port in host order.
struct Ipv4Endpoint {
    std::uint8_t address[4];
    std::uint16_t port;
};

// Starts the socket library (WSAStartup with version 1.1 on Windows; nothing
// to do elsewhere). Returns 1 when started; each 1 must be matched by one
// stopSockets().
int startSockets();
void stopSockets();
// Starts not yet matched by a stop, counted on every platform so tests can
// prove the pairing.
int socketStartsOutstanding();

// The first IPv4 address of host into address (gethostbyname on Windows,
// getaddrinfo elsewhere). Returns 1 when found, 0 otherwise.
int lookUpHostV4(const char* host, std::uint8_t address[4]);

// A TCP socket (AF_INET, SOCK_STREAM, protocol 0), or NO_SOCKET.
SocketHandle openStreamSocket();
// 0 when connected, -1 when connect failed or, with milliseconds above 0,
// did not complete within them. 0 milliseconds: the system's own time-out.
int connectSocket(SocketHandle socket, const Ipv4Endpoint& peer, int milliseconds);

// SO_SNDTIMEO / SO_RCVTIMEO in milliseconds. 0 when set, -1 when not.
int setSendTimeout(SocketHandle socket, int milliseconds);
int setReceiveTimeout(SocketHandle socket, int milliseconds);

// How a send or receive ended that moved no bytes.
enum SocketFailure : int {
    SOCKET_TIMED_OUT = 1, // the time-out of the call ran out
    SOCKET_BROKEN = 2,    // any other error (reset, not connected, ...)
};

// One send / recv with flags 0 (and no SIGPIPE where that exists). Returns
// the bytes moved (0 from receiveSome: the peer closed), or -1 with *failure
// telling why.
long sendSome(SocketHandle socket, const char* bytes, std::size_t length, SocketFailure* failure);
long receiveSome(SocketHandle socket, char* bytes, std::size_t capacity, SocketFailure* failure);

// closesocket / close, without shutdown first.
void closeSocket(SocketHandle socket);
