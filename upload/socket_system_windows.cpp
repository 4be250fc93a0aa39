// Winsock 1.1, as the upload transport has always used it on Windows.
#include "upload/socket_system.h"

#include <winsock2.h>

#include <cstring>

namespace {

SOCKET native(SocketHandle socket)
{
    return static_cast<SOCKET>(socket);
}

SystemCallEnd lastCallEnd()
{
    const int error = WSAGetLastError();
    if (error == WSAEINTR)
        return CALL_INTERRUPTED;
    if (error == WSAETIMEDOUT || error == WSAEWOULDBLOCK)
        return CALL_TIMED_OUT;
    return CALL_FAILED;
}

} // namespace

int systemStartSockets()
{
    WSADATA data;
    return WSAStartup(0x0101, &data) == 0;
}

void systemStopSockets()
{
    WSACleanup();
}

int systemLookUpHostV4(const char* host, std::uint8_t address[4])
{
    const hostent* found = gethostbyname(host);
    if (!found || found->h_addrtype != AF_INET || found->h_length != 4 || !found->h_addr_list[0])
        return 0;
    std::memcpy(address, found->h_addr_list[0], 4);
    return 1;
}

SocketHandle systemOpenStreamSocket()
{
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    return s != INVALID_SOCKET ? static_cast<SocketHandle>(s) : NO_SOCKET;
}

int systemConnect(SocketHandle socket, const Ipv4Endpoint& peer, int milliseconds)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(peer.port);
    std::memcpy(&address.sin_addr, peer.address, 4);
    const auto* to = reinterpret_cast<const sockaddr*>(&address);
    if (milliseconds <= 0)
        return connect(native(socket), to, sizeof address) == SOCKET_ERROR ? -1 : 0;
    // Not blocking for the connect only, then select: Winsock 1.1 has no
    // poll.
    u_long nonBlocking = 1;
    if (ioctlsocket(native(socket), FIONBIO, &nonBlocking) != 0)
        return -1;
    int result = connect(native(socket), to, sizeof address) == SOCKET_ERROR ? -1 : 0;
    if (result != 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
        fd_set connected;
        fd_set failed;
        FD_ZERO(&connected);
        FD_ZERO(&failed);
        FD_SET(native(socket), &connected);
        FD_SET(native(socket), &failed);
        timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
        result = select(0, nullptr, &connected, &failed, &wait) > 0 && FD_ISSET(native(socket), &connected) ? 0 : -1;
    }
    u_long blocking = 0;
    if (ioctlsocket(native(socket), FIONBIO, &blocking) != 0)
        return -1;
    return result;
}

int systemSetTimeout(SocketHandle socket, bool send, int milliseconds)
{
    // Winsock takes the time-out as a DWORD of milliseconds.
    const DWORD value = static_cast<DWORD>(milliseconds);
    return setsockopt(native(socket), SOL_SOCKET, send ? SO_SNDTIMEO : SO_RCVTIMEO,
                      reinterpret_cast<const char*>(&value), static_cast<int>(sizeof value)) == 0
               ? 0
               : -1;
}

long systemSend(SocketHandle socket, const char* bytes, std::size_t length, SystemCallEnd* end)
{
    const int sent = send(native(socket), bytes, static_cast<int>(length), 0);
    if (sent != SOCKET_ERROR)
        return sent;
    *end = lastCallEnd();
    return -1;
}

long systemReceive(SocketHandle socket, char* bytes, std::size_t capacity, SystemCallEnd* end)
{
    const int received = recv(native(socket), bytes, static_cast<int>(capacity), 0);
    if (received != SOCKET_ERROR)
        return received;
    *end = lastCallEnd();
    return -1;
}

void systemCloseSocket(SocketHandle socket)
{
    closesocket(native(socket));
}
