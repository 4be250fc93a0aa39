#include "upload/socket_calls.h"

#include <atomic>
#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
using SocketLength = int;
using TimeoutValue = DWORD; // Winsock takes the time-out as milliseconds
constexpr int SEND_FLAGS = 0;

TimeoutValue timeoutValue(int milliseconds)
{
    return static_cast<DWORD>(milliseconds);
}

bool callTimedOut()
{
    const int error = WSAGetLastError();
    return error == WSAETIMEDOUT || error == WSAEWOULDBLOCK;
}

bool callInterrupted()
{
    return WSAGetLastError() == WSAEINTR;
}

int systemStartup()
{
    WSADATA data;
    return WSAStartup(0x0101, &data) == 0;
}

void systemCleanup()
{
    WSACleanup();
}

bool validSocket(SOCKET s)
{
    return s != INVALID_SOCKET;
}

void systemClose(SOCKET s)
{
    closesocket(s);
}
#else
using SOCKET = int;
using SocketLength = socklen_t;
using TimeoutValue = timeval;
constexpr int SOCKET_ERROR = -1;
constexpr int SEND_FLAGS = MSG_NOSIGNAL; // a peer's reset must not kill the program

TimeoutValue timeoutValue(int milliseconds)
{
    return timeval{milliseconds / 1000, (milliseconds % 1000) * 1000};
}

bool callTimedOut()
{
    return errno == EAGAIN || errno == EWOULDBLOCK;
}

bool callInterrupted()
{
    return errno == EINTR;
}

int systemStartup()
{
    return 1;
}

void systemCleanup() {}

bool validSocket(SOCKET s)
{
    return s >= 0;
}

void systemClose(SOCKET s)
{
    close(s);
}
#endif

std::atomic<int> outstandingStarts{0};

SOCKET native(SocketHandle socket)
{
    return static_cast<SOCKET>(socket);
}

int setTimeout(SocketHandle socket, int option, int milliseconds)
{
    const TimeoutValue value = timeoutValue(milliseconds);
    return setsockopt(native(socket), SOL_SOCKET, option, reinterpret_cast<const char*>(&value),
                      static_cast<SocketLength>(sizeof value)) == 0
               ? 0
               : -1;
}

// The failing call's own error decides, not SO_ERROR read afterwards: Linux
// hands a reset to the recv that reports it and clears the pending error, so
// a later SO_ERROR of 0 would make a reset look like a time-out.
long failed(SocketFailure* failure)
{
    *failure = callTimedOut() ? SOCKET_TIMED_OUT : SOCKET_BROKEN;
    return -1;
}

} // namespace

int startSockets()
{
    if (!systemStartup())
        return 0;
    ++outstandingStarts;
    return 1;
}

void stopSockets()
{
    systemCleanup();
    --outstandingStarts;
}

int socketStartsOutstanding()
{
    return outstandingStarts;
}

int lookUpHostV4(const char* host, std::uint8_t address[4])
{
    const hostent* found = gethostbyname(host);
    if (!found || found->h_addrtype != AF_INET || found->h_length != 4 || !found->h_addr_list[0])
        return 0;
    std::memcpy(address, found->h_addr_list[0], 4);
    return 1;
}

SocketHandle openStreamSocket()
{
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    return validSocket(s) ? static_cast<SocketHandle>(s) : NO_SOCKET;
}

int connectSocket(SocketHandle socket, const Ipv4Endpoint& peer)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(peer.port);
    std::memcpy(&address.sin_addr, peer.address, 4);
    return connect(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR ? -1
                                                                                                               : 0;
}

int setSendTimeout(SocketHandle socket, int milliseconds)
{
    return setTimeout(socket, SO_SNDTIMEO, milliseconds);
}

int setReceiveTimeout(SocketHandle socket, int milliseconds)
{
    return setTimeout(socket, SO_RCVTIMEO, milliseconds);
}

long sendSome(SocketHandle socket, const char* bytes, std::size_t length, SocketFailure* failure)
{
    for (;;) {
        const auto sent = send(native(socket), bytes, static_cast<int>(length), SEND_FLAGS);
        if (sent != SOCKET_ERROR)
            return static_cast<long>(sent);
        if (!callInterrupted())
            return failed(failure);
    }
}

long receiveSome(SocketHandle socket, char* bytes, std::size_t capacity, SocketFailure* failure)
{
    for (;;) {
        const auto received = recv(native(socket), bytes, static_cast<int>(capacity), 0);
        if (received != SOCKET_ERROR)
            return static_cast<long>(received);
        if (!callInterrupted())
            return failed(failure);
    }
}

void closeSocket(SocketHandle socket)
{
    if (socket != NO_SOCKET)
        systemClose(native(socket));
}
