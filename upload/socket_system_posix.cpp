// BSD sockets, for every system but Windows.
#include "upload/socket_system.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
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

// The rest of a connect that is under way: 0 once it completed, -1 when it
// failed or the time ran out first.
int finishConnect(int socket, int milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return -1;
        pollfd watched{socket, POLLOUT, 0};
        const int ready = poll(&watched, 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return -1;
        int error = 0;
        socklen_t size = sizeof error;
        return getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0 ? 0 : -1;
    }
}

} // namespace

int systemStartSockets()
{
    return 1;
}

void systemStopSockets() {}

// getaddrinfo, not gethostbyname: a look-up given up on may still run on
// its helper thread while the next one starts.
int systemLookUpHostV4(const char* host, std::uint8_t address[4])
{
    addrinfo wanted{};
    wanted.ai_family = AF_INET;
    wanted.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &wanted, &found) != 0 || !found)
        return 0;
    int result = 0;
    if (found->ai_family == AF_INET && found->ai_addr && found->ai_addrlen >= sizeof(sockaddr_in)) {
        std::memcpy(address, &reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr, 4);
        result = 1;
    }
    freeaddrinfo(found);
    return result;
}

SocketHandle systemOpenStreamSocket()
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    return s >= 0 ? static_cast<SocketHandle>(s) : NO_SOCKET;
}

int systemConnect(SocketHandle socket, const Ipv4Endpoint& peer, int milliseconds)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(peer.port);
    std::memcpy(&address.sin_addr, peer.address, 4);
    const auto* to = reinterpret_cast<const sockaddr*>(&address);
    if (milliseconds <= 0)
        return connect(native(socket), to, sizeof address) == 0 ? 0 : -1;
    // A blocking connect to a host that drops the SYNs waits out the
    // kernel's retries, about two minutes. Not blocking for the connect
    // only: send and recv rely on their socket time-outs.
    const int flags = fcntl(native(socket), F_GETFL);
    if (flags < 0 || fcntl(native(socket), F_SETFL, flags | O_NONBLOCK) != 0)
        return -1;
    int result = connect(native(socket), to, sizeof address) == 0 ? 0 : -1;
    if (result != 0 && errno == EINPROGRESS)
        result = finishConnect(native(socket), milliseconds);
    if (fcntl(native(socket), F_SETFL, flags) != 0)
        return -1;
    return result;
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
