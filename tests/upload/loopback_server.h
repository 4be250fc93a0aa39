// A scripted HTTP server on 127.0.0.1 for the upload tests: it takes one
// connection after another, reads each request up to its empty line, and
// answers as the script says. It binds to the loopback address only, on a
// port the system picks, and stops when the test ends it (or after
// SERVER_LIFETIME_MS at the latest), so a test never reaches further than
// itself and never hangs on it.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "upload/upload_hosts.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace loopback {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket NONE = INVALID_SOCKET;
constexpr int NO_SIGNAL = 0;
inline void closeIt(Socket s) { closesocket(s); }
inline void startNet() { WSADATA data; WSAStartup(0x0202, &data); }
inline void stopNet() { WSACleanup(); }
inline bool setNonBlocking(Socket s) { u_long on = 1; return ioctlsocket(s, FIONBIO, &on) == 0; }
using OptionLength = int;
#else
using Socket = int;
constexpr Socket NONE = -1;
constexpr int NO_SIGNAL = MSG_NOSIGNAL;
inline void closeIt(Socket s) { close(s); }
inline void startNet() {}
inline void stopNet() {}
inline bool setNonBlocking(Socket s) { return fcntl(s, F_SETFL, fcntl(s, F_GETFL) | O_NONBLOCK) == 0; }
using OptionLength = socklen_t;
#endif

// Both far beyond what a loaded machine needs: a test that ends normally
// never meets them.
constexpr int SERVER_LIFETIME_MS = 300000;
constexpr int REQUEST_WAIT_MS = 60000;

// What the server does on one connection, after the request arrived.
struct Act {
    enum Ending {
        CLOSE,  // closes normally after the reply
        RESET,  // waits a little (the reply is read), then resets the connection
        SILENT, // sends the reply, then neither answers nor closes until the client goes
    };
    std::string reply;
    Ending ending = CLOSE;
    int byteGapMs = 0; // above 0: the reply goes out one byte at a time, this far apart
};

// Waits up to ms for s to be readable (or writable).
inline bool ready(Socket s, int ms, bool forWriting)
{
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval wait{ms / 1000, (ms % 1000) * 1000};
    return select(static_cast<int>(s + 1), forWriting ? nullptr : &set, forWriting ? &set : nullptr, nullptr,
                  &wait) > 0;
}

inline bool readable(Socket s, int ms)
{
    return ready(s, ms, false);
}

inline Socket listenOnLoopback(int* port, int backlog = 4)
{
    Socket s = socket(AF_INET, SOCK_STREAM, 0);
    if (s == NONE)
        return NONE;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, backlog) != 0) {
        closeIt(s);
        return NONE;
    }
    OptionLength length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return s;
}

class Server {
public:
    // Connection i is answered by acts[i], the last act by all after it.
    explicit Server(std::vector<Act> script) : acts(std::move(script))
    {
        startNet();
        listener = listenOnLoopback(&listeningPort);
        if (listener != NONE)
            worker = std::thread([this] { serve(); });
    }

    ~Server()
    {
        stopping = true;
        if (worker.joinable())
            worker.join();
        if (listener != NONE)
            closeIt(listener);
        stopNet();
    }

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    int port() const { return listeningPort; }
    bool listening() const { return listener != NONE; }

    // The requests in the order they came, one per connection.
    std::vector<std::string> requests() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return received;
    }

    // Waits until `count` connections were served to their end.
    bool waitForServed(int count, int timeoutMs) const
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (served < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    int connections() const { return served; }

    // While held, a request that came waits for its reply until release()
    // (or until the client goes, which then gets none): the test decides
    // when the service gets its answer.
    void hold() { holding = true; }
    void release() { holding = false; }

private:
    void serve()
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(SERVER_LIFETIME_MS);
        while (!stopping && std::chrono::steady_clock::now() < end) {
            if (!readable(listener, 50))
                continue;
            Socket client = accept(listener, nullptr, nullptr);
            if (client == NONE)
                continue;
            const Act& act = acts.empty() ? Act{} : acts[std::min<std::size_t>(served, acts.size() - 1)];
            answer(client, act);
            ++served;
        }
    }

    void answer(Socket client, const Act& act)
    {
        std::string request;
        char chunk[4096];
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(REQUEST_WAIT_MS);
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536 &&
               std::chrono::steady_clock::now() < deadline && !stopping) {
            if (!readable(client, 50))
                continue;
            const auto n = recv(client, chunk, sizeof chunk, 0);
            if (n <= 0)
                break;
            request.append(chunk, static_cast<std::size_t>(n));
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            received.push_back(request);
        }
        while (holding && !stopping) {
            if (readable(client, 20) && recv(client, chunk, sizeof chunk, 0) <= 0) {
                closeIt(client);
                return;
            }
        }
        // Small pieces, each once there is room: a send blocked on a client
        // that has stopped reading could miss the client's going (Wine
        // does not always end it) and the end of the test with it. A client
        // that has gone ends the send with an error.
        for (std::size_t sent = 0; sent < act.reply.size() && !stopping;) {
            if (act.byteGapMs > 0 && sent > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(act.byteGapMs));
            if (!ready(client, 50, true))
                continue;
            const std::size_t piece = act.byteGapMs > 0 ? 1 : std::min<std::size_t>(act.reply.size() - sent, 4096);
            const auto n = send(client, act.reply.data() + sent, static_cast<int>(piece), NO_SIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        if (act.ending == Act::RESET) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            linger hard{};
            hard.l_onoff = 1;
            hard.l_linger = 0;
            setsockopt(client, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
        } else if (act.ending == Act::SILENT) {
            // Until the client closes (read gives 0 or an error).
            while (!stopping) {
                if (!readable(client, 50))
                    continue;
                if (recv(client, chunk, sizeof chunk, 0) <= 0)
                    break;
            }
        }
        closeIt(client);
    }

    std::vector<Act> acts;
    Socket listener = NONE;
    int listeningPort = 0;
    std::atomic<bool> holding{false};
    std::atomic<bool> stopping{false};
    std::atomic<int> served{0};
    mutable std::mutex mutex;
    std::vector<std::string> received;
    std::thread worker;
};

// A loopback port nobody listens on: bound, then let go.
inline int refusingPort()
{
    startNet();
    int port = 0;
    Socket s = listenOnLoopback(&port);
    if (s != NONE)
        closeIt(s);
    stopNet();
    return port;
}

// A loopback port with a listener whose backlog is full: nobody accepts,
// and the system drops the SYN of every further connect, which then waits
// out the kernel's SYN retries (about two minutes on Linux) unless it has a
// limit of its own. Like a host whose packets go nowhere, without root.
class UnansweredListener {
public:
    // Time a loopback connect is given to complete: far beyond what one
    // takes, so one that has not completed by then was dropped.
    static constexpr int CONNECT_WAIT_MS = 1000;
    static constexpr int MOST_FILLERS = 8;

    UnansweredListener()
    {
        startNet();
        listener = listenOnLoopback(&listeningPort, 0);
        while (listener != NONE && !backlogFull && fillers.size() < MOST_FILLERS) {
            Socket filler = socket(AF_INET, SOCK_STREAM, 0);
            if (filler == NONE)
                break;
            fillers.push_back(filler);
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(static_cast<std::uint16_t>(listeningPort));
            if (!setNonBlocking(filler))
                break;
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            // The one that stays unconnected proves the backlog full.
            backlogFull = !ready(filler, CONNECT_WAIT_MS, true);
        }
    }

    ~UnansweredListener()
    {
        for (Socket filler : fillers)
            closeIt(filler);
        if (listener != NONE)
            closeIt(listener);
        stopNet();
    }

    UnansweredListener(const UnansweredListener&) = delete;
    UnansweredListener& operator=(const UnansweredListener&) = delete;

    int port() const { return listeningPort; }
    // False when this system answered every connect: nothing hangs here.
    bool full() const { return backlogFull; }

    // A connect hanging on it ends (refused) at its next SYN retry.
    void stopListening()
    {
        if (listener != NONE)
            closeIt(listener);
        listener = NONE;
    }

private:
    Socket listener = NONE;
    int listeningPort = 0;
    bool backlogFull = false;
    std::vector<Socket> fillers;
};

// Points both services at a loopback port nobody listens on: a request a
// test leaves behind fails at once and never goes to a real service.
inline void pointHostsAtNothing()
{
    const int port = refusingPort();
    for (UploadHost& host : uploadHosts) {
        std::strcpy(host.name, "127.0.0.1");
        host.port = port;
    }
}

} // namespace loopback
