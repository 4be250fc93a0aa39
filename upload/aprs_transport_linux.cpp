#include "upload/aprs_transport_linux.h"

#include <algorithm>
#include <chrono>

#include <curl/curl.h>
#include <poll.h>

#include "upload/curl_options_linux.h"

namespace {

using Clock = std::chrono::steady_clock;

// How often a wait on the socket looks at the stop flag.
constexpr int STOP_CHECK_MS = 100;

class Connection {
public:
    explicit Connection(const TransportSettings& given)
        : settings(given), curl(curl_easy_init()),
          deadline(Clock::now() + std::chrono::milliseconds(given.totalTimeoutMs))
    {
    }
    ~Connection()
    {
        if (curl)
            curl_easy_cleanup(curl);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // An empty text when connected, else why not.
    std::string open(const std::string& host, int port)
    {
        if (!curl)
            return "libcurl could not make a handle";
        applyTransportOptions(curl, settings, error);
        // Only the connection is made, no request; a proxy of the
        // environment has no place in it.
        const std::string name = host.find(':') != std::string::npos ? "[" + host + "]" : host;
        const std::string url = "http://" + name + ":" + std::to_string(port);
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
        curl_easy_setopt(curl, CURLOPT_PROXY, "");
        curl_easy_setopt(curl, CURLOPT_CONNECT_ONLY, 1L);
        const CURLcode result = curl_easy_perform(curl);
        if (result != CURLE_OK)
            return transferFailure(result, error, settings);
        curl_socket_t active = CURL_SOCKET_BAD;
        if (curl_easy_getinfo(curl, CURLINFO_ACTIVESOCKET, &active) != CURLE_OK || active == CURL_SOCKET_BAD)
            return "no connection to " + host;
        socket = active;
        return "";
    }

    std::string sendLine(const std::string& line)
    {
        const std::string bytes = line + "\r\n";
        std::size_t done = 0;
        while (done < bytes.size()) {
            std::size_t sent = 0;
            const CURLcode result = curl_easy_send(curl, bytes.data() + done, bytes.size() - done, &sent);
            if (result == CURLE_AGAIN) {
                if (std::string why = wait(POLLOUT); !why.empty())
                    return why;
                continue;
            }
            if (result != CURLE_OK)
                return "the server closed the connection: " + std::string(curl_easy_strerror(result));
            done += sent;
        }
        return "";
    }

    // Reads lines until "# logresp"; the server's banner and other comment
    // lines before it are passed over.
    std::string readLogresp(std::string& logresp)
    {
        for (;;) {
            const std::size_t end = pending.find('\n');
            if (end == std::string::npos && pending.size() >= APRS_LINE_LIMIT)
                return "the server sent a line longer than " + std::to_string(APRS_LINE_LIMIT) + " bytes";
            if (end != std::string::npos) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.rfind("# logresp", 0) == 0) {
                    logresp = line;
                    return "";
                }
                continue;
            }
            char chunk[APRS_LINE_LIMIT];
            std::size_t got = 0;
            const CURLcode result = curl_easy_recv(curl, chunk, APRS_LINE_LIMIT - pending.size(), &got);
            if (result == CURLE_AGAIN) {
                if (std::string why = wait(POLLIN); !why.empty())
                    return why;
                continue;
            }
            if (result != CURLE_OK)
                return "the server closed the connection: " + std::string(curl_easy_strerror(result));
            if (got == 0)
                return "the server closed the connection before its login reply";
            pending.append(chunk, got);
        }
    }

private:
    // Until the socket is ready for `events`, the deadline or a stop.
    std::string wait(short events)
    {
        for (;;) {
            if (stopAsked(settings))
                return TRANSPORT_STOPPED;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0)
                return "no answer within " + std::to_string(settings.totalTimeoutMs) + " ms";
            pollfd watched{socket, events, 0};
            const int ready = poll(&watched, 1, static_cast<int>(std::min<long long>(left, STOP_CHECK_MS)));
            if (ready > 0)
                return "";
        }
    }

    const TransportSettings& settings;
    CURL* const curl;
    const Clock::time_point deadline;
    char error[CURL_ERROR_SIZE] = {};
    curl_socket_t socket = CURL_SOCKET_BAD;
    std::string pending; // received, not yet a whole line
};

bool holdsLineBreak(const std::string& line)
{
    return line.find_first_of("\r\n") != std::string::npos;
}

AprsReply failed(std::string why, std::string logresp = "")
{
    return AprsReply{std::move(logresp), std::move(why)};
}

} // namespace

AprsReply sendAprs(const std::string& host, int port, const std::string& loginLine, const std::string& packetLine,
                   const TransportSettings& settings)
{
    if (holdsLineBreak(loginLine) || holdsLineBreak(packetLine))
        return failed("a line to send holds a line break");
    if (loginLine.size() + 2 > APRS_LINE_LIMIT || packetLine.size() + 2 > APRS_LINE_LIMIT)
        return failed("a line to send is longer than " + std::to_string(APRS_LINE_LIMIT) + " bytes");
    startHttpTransport();
    Connection connection(settings);
    if (std::string why = connection.open(host, port); !why.empty())
        return failed(why);
    if (std::string why = connection.sendLine(loginLine); !why.empty())
        return failed(why);
    AprsReply reply;
    if (std::string why = connection.readLogresp(reply.logresp); !why.empty())
        return failed(why);
    if (std::string why = connection.sendLine(packetLine); !why.empty())
        return failed(why, reply.logresp);
    return reply;
}
