// BSD sockets, for every system but Windows.
#include "upload/socket_system.h"

#include <cerrno>
#include <cstring>

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

int native(SocketHandle socket)
{
    return static_cast<int>(socket);
}

SystemCallEnd lastCallEnd()
{
    if (errno == EINTR)
        return CALL_INTERRUPTED;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
        return CALL_TIMED_OUT;
    return CALL_FAILED;
}

} // namespace

int systemStartSockets()
{
    return 1;
}

void systemStopSockets() {}

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
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    return s >= 0 ? static_cast<SocketHandle>(s) : NO_SOCKET;
}

int systemConnect(SocketHandle socket, const Ipv4Endpoint& peer)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(peer.port);
    std::memcpy(&address.sin_addr, peer.address, 4);
    return connect(native(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? 0 : -1;
}

int systemSetTimeout(SocketHandle socket, bool send, int milliseconds)
{
    const timeval value{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return setsockopt(native(socket), SOL_SOCKET, send ? SO_SNDTIMEO : SO_RCVTIMEO, &value, sizeof value) == 0 ? 0
                                                                                                              : -1;
}

long systemSend(SocketHandle socket, const char* bytes, std::size_t length, SystemCallEnd* end)
{
    // A peer's reset must not kill the program with SIGPIPE.
    const ssize_t sent = send(native(socket), bytes, length, MSG_NOSIGNAL);
    if (sent >= 0)
        return static_cast<long>(sent);
    *end = lastCallEnd();
    return -1;
}

long systemReceive(SocketHandle socket, char* bytes, std::size_t capacity, SystemCallEnd* end)
{
    const ssize_t received = recv(native(socket), bytes, capacity, 0);
    if (received >= 0)
        return static_cast<long>(received);
    *end = lastCallEnd();
    return -1;
}

void systemCloseSocket(SocketHandle socket)
{
    close(native(socket));
}
