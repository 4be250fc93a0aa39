#include "upload/http_transport.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "upload/bounded_look_up.h"
#include "upload/reply_classification.h"

namespace {

void sleepFor(int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// The program has no console window: this is for whoever runs it from one.
void writeToStandardOutput(const char* text)
{
    std::fputs(text, stdout);
    std::fflush(stdout);
}

void tell(const TransportHooks& hooks, const char* text)
{
    if (hooks.diagnostic)
        hooks.diagnostic(text);
}

// The time-out is set before every call. A setsockopt that keeps failing is
// given up after a few tries: the call would otherwise wait with no bound.
bool setTimeoutBounded(SocketHandle socket, int (*set)(SocketHandle, int), const TransportHooks& hooks,
                       const char* complaint)
{
    for (int tries = 0; tries < TIMEOUT_SETTING_TRIES; ++tries) {
        if (set(socket, hooks.timeoutMs) == 0)
            return true;
        tell(hooks, complaint);
    }
    return false;
}

} // namespace

TransportHooks defaultTransportHooks()
{
    return TransportHooks{UPLOAD_TIMEOUT_MS, LOOK_UP_PAUSE_MS, sleepFor, writeToStandardOutput, lookUpHostV4,
                          nullptr, nullptr, nullptr, 0, 0};
}

TransportHooks boundedTransportHooks()
{
    TransportHooks hooks = defaultTransportHooks();
    hooks.lookUpTimeoutMs = UPLOAD_TIMEOUT_MS;
    hooks.connectTimeoutMs = UPLOAD_TIMEOUT_MS;
    return hooks;
}

HttpConnection emptyConnection()
{
    HttpConnection connection{};
    connection.socket = NO_SOCKET;
    return connection;
}

int openConnection(HttpConnection& connection, const char* host, int port, const TransportHooks& hooks)
{
    closeConnection(connection);
    if (!startSockets())
        return -1;
    connection = emptyConnection();
    connection.socketsStarted = 1;
    std::uint8_t address[4];
    const int found = !hooks.lookUp                 ? 0
                      : hooks.lookUpTimeoutMs > 0 ? lookUpWithin(hooks.lookUp, host, address, hooks.lookUpTimeoutMs)
                                                  : hooks.lookUp(host, address);
    if (!found) {
        closeConnection(connection);
        return -2;
    }
    connection.port = port;
    std::memcpy(connection.address.address, address, sizeof address);
    connection.address.port = static_cast<std::uint16_t>(port);
    connection.socket = openStreamSocket();
    if (connection.socket == NO_SOCKET) {
        closeConnection(connection);
        return -3;
    }
    return 0;
}

int connectOnce(HttpConnection& connection, int timeoutMs)
{
    if (connection.connected)
        return 1;
    if (connection.socket == NO_SOCKET || connectSocket(connection.socket, connection.address, timeoutMs) != 0)
        return -1;
    connection.connected = 1;
    return 0;
}

long sendAll(HttpConnection& connection, const char* bytes, std::size_t length, const TransportHooks& hooks)
{
    std::size_t sent = 0;
    while (sent < length) {
        if (!setTimeoutBounded(connection.socket, setSendTimeout, hooks, SET_SEND_TIMEOUT_ERROR))
            return -1;
        SocketFailure failure = SOCKET_BROKEN;
        const long n = sendSome(connection.socket, bytes + sent, length - sent, &failure);
        if (n <= 0) {
            if (n < 0 && failure == SOCKET_TIMED_OUT)
                tell(hooks, SEND_TIMEOUT);
            return -1;
        }
        sent += static_cast<std::size_t>(n);
    }
    return static_cast<long>(sent);
}

long receiveAll(HttpConnection& connection, const TransportHooks& hooks, char** reply)
{
    *reply = nullptr;
    char* block = nullptr;
    std::size_t total = 0;
    char chunk[RECEIVE_CHUNK_SIZE];
    // The time-out bounds each receive; a server dribbling a byte at a time
    // would pass every one of them, so the whole reply gets the same time.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(hooks.timeoutMs);
    while (total < REPLY_CAP) {
        if (!setTimeoutBounded(connection.socket, setReceiveTimeout, hooks, SET_RECEIVE_TIMEOUT_ERROR)) {
            std::free(block);
            return -3;
        }
        const std::size_t room = REPLY_CAP - total;
        SocketFailure failure = SOCKET_BROKEN;
        const long n = receiveSome(connection.socket, chunk, room < sizeof chunk ? room : sizeof chunk, &failure);
        if (n < 0 && failure == SOCKET_BROKEN)
            break; // a reset ends the reply; what came before it still tells
        if (n < 0) {
            tell(hooks, RECEIVE_TIMEOUT);
            std::free(block);
            return -1;
        }
        if (n == 0)
            break;
        char* grown = static_cast<char*>(std::realloc(block, total + static_cast<std::size_t>(n)));
        if (!grown) {
            std::free(block);
            return -2;
        }
        block = grown;
        std::memcpy(block + total, chunk, static_cast<std::size_t>(n));
        total += static_cast<std::size_t>(n);
        if (total < REPLY_CAP && std::chrono::steady_clock::now() > deadline) {
            tell(hooks, RECEIVE_TIMEOUT);
            std::free(block);
            return -1;
        }
    }
    *reply = block;
    return static_cast<long>(total);
}

int exchange(HttpConnection& connection, const char* request, UploadService service, const TransportHooks& hooks)
{
    if (connectOnce(connection, hooks.connectTimeoutMs) < 0)
        return 0;
    if (sendAll(connection, request, std::strlen(request), hooks) < 0)
        return 0;
    char* reply = nullptr;
    const long received = receiveAll(connection, hooks, &reply);
    if (received > 0 && hooks.reportReply)
        hooks.reportReply(hooks.context, service, reply, static_cast<std::size_t>(received));
    const ReplyVerdict verdict =
        received > 0 ? classifyReply(service, reply, static_cast<std::size_t>(received)) : REPLY_UNCLEAR;
    std::free(reply);
    if (verdict == REPLY_REFUSED)
        return EXCHANGE_REFUSED;
    if (verdict != REPLY_TAKEN)
        return 0;
    if (hooks.reportSuccess)
        hooks.reportSuccess(hooks.context, service);
    return 1;
}

void closeConnection(HttpConnection& connection)
{
    if (connection.socket != NO_SOCKET)
        closeSocket(connection.socket);
    connection.socket = NO_SOCKET;
    connection.connected = 0;
    if (connection.socketsStarted)
        stopSockets();
    connection.socketsStarted = 0;
}

int uploadRequest(const char* request, const char* host, int port, UploadService service,
                  const TransportHooks& hooks)
{
    HttpConnection connection = emptyConnection();
    int lookUpFailures = 0;
    int attempts = 0;
    for (;;) {
        if (openConnection(connection, host, port, hooks) != 0) {
            if (++lookUpFailures >= LOOK_UP_TRIES)
                break;
            if (hooks.pause)
                hooks.pause(hooks.lookUpPauseMs);
            continue;
        }
        lookUpFailures = 0;
        const int result = exchange(connection, request, service, hooks);
        if (result == 1 || result == EXCHANGE_REFUSED)
            break;
        if (++attempts >= UPLOAD_ATTEMPTS)
            break;
        closeConnection(connection); // the next attempt starts afresh, without a pause
    }
    closeConnection(connection);
    return 0;
}
