// Delivers one upload request over plain HTTP and tells whether the service
// took it. Runs on the upload worker; every call blocks, each send and
// receive for at most the time-out, and with boundedTransportHooks() each
// look-up and connect too. Portable: the socket calls are those of
// socket_calls.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "upload/socket_calls.h"
#include "upload/upload_state.h"

constexpr int UPLOAD_TIMEOUT_MS = 6000;        // SO_SNDTIMEO / SO_RCVTIMEO, set before every call
constexpr int LOOK_UP_TRIES = 5;               // per attempt
constexpr int LOOK_UP_PAUSE_MS = 1000;         // after each failed try but the last
constexpr int UPLOAD_ATTEMPTS = 3;             // per request
constexpr int TIMEOUT_SETTING_TRIES = 3;       // a failing setsockopt is tried again this often in all
constexpr std::size_t RECEIVE_CHUNK_SIZE = 1024;
constexpr std::size_t REPLY_CAP = 64 * 1024;   // what is collected of a reply; the rest is not read

// The four diagnostics, written as they stand (the two "/n" included).
constexpr const char SET_SEND_TIMEOUT_ERROR[] = "set sendtimeout error/n";
constexpr const char SET_RECEIVE_TIMEOUT_ERROR[] = "set revtimeout error/n";
constexpr const char SEND_TIMEOUT[] = "send timeout!\n";
constexpr const char RECEIVE_TIMEOUT[] = "recv timeout!\n";

// One connection attempt; cleared when an attempt opens it.
struct HttpConnection {
    SocketHandle socket;  // NO_SOCKET when none
    int port;
    Ipv4Endpoint address; // the first address the look-up gave
    int connected;        // 1 after a successful connect, 0 after closeConnection
    int socketsStarted;   // 1 while this record holds a startSockets() to be matched
};

// What the transport needs from its surroundings. The program uses
// defaultTransportHooks(); tests shorten the waits, count look-ups and
// collect the diagnostics and results.
struct TransportHooks {
    int timeoutMs;
    int lookUpPauseMs;
    void (*pause)(int milliseconds);
    void (*diagnostic)(const char* text);
    int (*lookUp)(const char* host, std::uint8_t address[4]); // 1 when found
    // A reply showed success for `service` (the worker tells the page).
    void (*reportSuccess)(void* context, UploadService service);
    void* context;
    // Every reply collected, before it is classified; valid during the
    // call only. Null: nobody looks (the Linux service logs the reason of
    // a refusal from it).
    void (*reportReply)(void* context, UploadService service, const char* reply, std::size_t length);
    // Above 0: each look-up (on a helper thread, bounded_look_up.h) and
    // each connect is given up after that long. 0: they take as long as the
    // system lets them, as the Windows program's do.
    int lookUpTimeoutMs;
    int connectTimeoutMs;
};

// UPLOAD_TIMEOUT_MS, LOOK_UP_PAUSE_MS sleeps, standard output,
// lookUpHostV4, no report, the system's own look-up and connect time-outs:
// the Windows program's.
TransportHooks defaultTransportHooks();
// The same with the look-up and the connect bounded by UPLOAD_TIMEOUT_MS as
// well: the Linux service's, where nothing may wait without a limit.
TransportHooks boundedTransportHooks();

// A record holding nothing: no socket, not connected, no sockets start-up.
HttpConnection emptyConnection();

// Starts the sockets, looks the host up and creates the socket. Returns 0,
// or -1 (start-up failed), -2 (look-up failed) or -3 (no socket); on a
// failure the record holds nothing, its start-up already matched.
int openConnection(HttpConnection& connection, const char* host, int port, const TransportHooks& hooks);
// 1 when already connected, 0 when connected now, -1 when connect failed
// or, with timeoutMs above 0, did not complete within it.
int connectOnce(HttpConnection& connection, int timeoutMs);
// Sends all `length` bytes. Returns length, or -1 ("send timeout!" when a
// time-out cut it short).
long sendAll(HttpConnection& connection, const char* bytes, std::size_t length, const TransportHooks& hooks);
// Collects the reply until the peer closes, a receive fails with an error
// other than a time-out (what arrived is kept), or REPLY_CAP bytes are in.
// The whole reply must come within the time-out too.
// Returns the byte count with *reply a malloc'ed block (null for 0 bytes;
// the caller frees it), or -1 on a time-out ("recv timeout!", nothing kept:
// a reply cut short by silence is not trusted), -2 out of memory, -3 when
// the receive time-out could not be set.
long receiveAll(HttpConnection& connection, const TransportHooks& hooks, char** reply);
// Connects if need be, sends the request, collects and classifies the
// reply for `service`. Returns 1 after a success was reported,
// EXCHANGE_REFUSED when the service answered and refused the request, else
// 0 (no connection, no whole reply, or a reply that says neither).
constexpr int EXCHANGE_REFUSED = -1;
int exchange(HttpConnection& connection, const char* request, UploadService service, const TransportHooks& hooks);
// Closes the socket (no shutdown first) and matches the record's sockets
// start-up. Harmless on a record holding nothing.
void closeConnection(HttpConnection& connection);

// Delivers one request: up to LOOK_UP_TRIES look-ups per attempt with
// pauses between them, up to UPLOAD_ATTEMPTS attempts, until a reply shows
// success or refuses the request (a refusal is final: sending the same
// request again gets the same answer, and for a rate limit a worse one).
// Failures are not reported: they show as a missing success.
// Always returns 0.
int uploadRequest(const char* request, const char* host, int port, UploadService service,
                  const TransportHooks& hooks);
