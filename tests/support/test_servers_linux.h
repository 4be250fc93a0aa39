// Loopback servers for the Linux transports' end-to-end tests: a private
// certificate authority made at test time with the openssl command, the
// HTTP(S) server tests/linux/http_test_server.py and the APRS-IS server
// tests/linux/aprs_test_server.py, each in a process of its own, stopped
// with the test.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/process_linux.h"

namespace e2e {

// A server's certificate and key, as PEM files.
struct ServerCertificate {
    std::string certificate;
    std::string key;
};

// A key pair and self-signed certificate of an authority no system trusts.
class TestAuthority {
public:
    explicit TestAuthority(const TempDir& dir);
    // The authority's certificate: what a client is given as its ca-file.
    const std::string& file() const { return certificate; }
    // A certificate this authority signs for `names`, as openssl's
    // subjectAltName takes them ("DNS:localhost,IP:127.0.0.1").
    ServerCertificate issue(const std::string& label, const std::string& names) const;

private:
    const TempDir& dir;
    std::string certificate;
    std::string key;
};

struct LoggedRequest {
    std::string line;                 // "POST /path?query HTTP/1.1"
    std::string from;                 // "127.0.0.1:PORT": one per connection
    std::vector<std::string> headers; // "Name: value", as they came
    std::string body;
    // The value of the first header of that name (any case); empty when none.
    std::string header(const std::string& name) const;
};

// One of the Python servers: started, its port read once it listens, ended
// with SIGTERM.
class ScriptServer {
public:
    ~ScriptServer();
    ScriptServer(const ScriptServer&) = delete;
    ScriptServer& operator=(const ScriptServer&) = delete;
    int port() const { return listening; }
    const std::string& log() const { return logPath; }
    void stop();
    // After stop(): listens again on the port it had, appending to the same log.
    void listenAgain();

protected:
    ScriptServer(const TempDir& dir, const std::string& label, const std::string& script,
                 const std::vector<std::string>& options);

private:
    void start(const std::vector<std::string>& args);
    std::unique_ptr<Process> process;
    std::string logPath;
    std::string portFile;
    std::string outPath;
    std::string errPath;
    std::vector<std::string> command;
    int listening = 0;
};

class HttpTestServer : public ScriptServer {
public:
    // `tls` null: plain HTTP. `routesJson`: the routes file's text (see the script).
    HttpTestServer(const TempDir& dir, const ServerCertificate* tls, const std::string& routesJson,
                   const std::string& label = "http");
    void setRoutes(const std::string& routesJson);
    // "https://localhost:PORT/target" (http:// for plain HTTP).
    std::string url(const std::string& target, const std::string& host = "localhost") const;
    // The requests logged so far, in order.
    std::vector<LoggedRequest> requests() const;
    // Polls the log until `count` requests are in it.
    bool waitForRequests(std::size_t count, int timeoutMs = DEADLINE_MS) const;
    // The connections that have ended so far, as LoggedRequest::from, in order.
    std::vector<std::string> endedConnections() const;

private:
    std::string routesPath;
    std::string scheme;
    std::string outPath;
};

class AprsTestServer : public ScriptServer {
public:
    enum class Login { answered, silent, endlessLine };
    AprsTestServer(const TempDir& dir, Login login = Login::answered, const std::string& label = "aprs");
    // What each connection sent, in the order they closed; filled once the client closes.
    std::vector<std::string> connections() const;
    // Login lines read so far (the server says so on its standard output).
    int loginsRead() const;

private:
    std::string out;
};

} // namespace e2e
