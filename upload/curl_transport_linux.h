// The Linux service's HTTP(S) to the weather networks, through libcurl:
// the peer's certificate and name always checked, every wait bounded, and a
// stop that cuts a request short. One easy handle per thread, kept between
// calls so its connections and TLS sessions are reused until the thread lets
// it go; any number of threads may send at once.
#pragma once

#include <atomic>
#include <string>

#include "upload/observation.h"

struct TransportSettings {
    // A private authority trusted besides the system's store ([tls] ca-file);
    // empty: the system's store only.
    std::string caFile;
    long connectTimeoutMs = 6000; // name look-up and connect (TLS handshake included)
    long totalTimeoutMs = 30000;  // the whole request, reply included
    std::string userAgent;        // empty: "aerovane/<version>"
    // Set by another thread: the request in flight ends within about a second.
    const std::atomic<bool>* stop = nullptr;
};

// libcurl's global set-up, once per process however often and from however
// many threads it is called. The service calls it at start, before its
// workers; sendHttp calls it too.
void startHttpTransport();

// One request, GET or POST (request.body with the Content-Type of
// request.headers). Status and the first HTTP_REPLY_BODY_LIMIT bytes of the
// body (the rest is read and dropped), Retry-After in seconds; status 0 with
// one line of failure when no whole answer came.
HttpReply sendHttp(const HttpRequest& request, const TransportSettings& settings);

// Frees the calling thread's handle with its connections and TLS context;
// its next request makes a new one. For a thread that will be quiet a while.
void releaseHttpHandle();

// The text of a failure when the stop flag ended a request.
constexpr const char TRANSPORT_STOPPED[] = "stopped";
