#include "upload/socket_calls.h"

#include <atomic>

#include "upload/socket_system.h"

namespace {

std::atomic<int> outstandingStarts{0};

long failed(SystemCallEnd end, SocketFailure* failure)
{
    *failure = end == CALL_TIMED_OUT ? SOCKET_TIMED_OUT : SOCKET_BROKEN;
    return -1;
}

} // namespace

int startSockets()
{
    if (!systemStartSockets())
        return 0;
    ++outstandingStarts;
    return 1;
}

void stopSockets()
{
    systemStopSockets();
    --outstandingStarts;
}

int socketStartsOutstanding()
{
    return outstandingStarts;
}

int lookUpHostV4(const char* host, std::uint8_t address[4])
{
    return systemLookUpHostV4(host, address);
}

SocketHandle openStreamSocket()
{
    return systemOpenStreamSocket();
}

int connectSocket(SocketHandle socket, const Ipv4Endpoint& peer, int milliseconds)
{
    return systemConnect(socket, peer, milliseconds);
}

int setSendTimeout(SocketHandle socket, int milliseconds)
{
    return systemSetTimeout(socket, true, milliseconds);
}

int setReceiveTimeout(SocketHandle socket, int milliseconds)
{
    return systemSetTimeout(socket, false, milliseconds);
}

// A signal landing during a call says nothing about the peer: the call is
// simply made again.
long sendSome(SocketHandle socket, const char* bytes, std::size_t length, SocketFailure* failure)
{
    for (;;) {
        SystemCallEnd end = CALL_FAILED;
        const long sent = systemSend(socket, bytes, length, &end);
        if (sent >= 0)
            return sent;
        if (end != CALL_INTERRUPTED)
            return failed(end, failure);
    }
}

long receiveSome(SocketHandle socket, char* bytes, std::size_t capacity, SocketFailure* failure)
{
    for (;;) {
        SystemCallEnd end = CALL_FAILED;
        const long received = systemReceive(socket, bytes, capacity, &end);
        if (received >= 0)
            return received;
        if (end != CALL_INTERRUPTED)
            return failed(end, failure);
    }
}

void closeSocket(SocketHandle socket)
{
    if (socket != NO_SOCKET)
        systemCloseSocket(socket);
}
