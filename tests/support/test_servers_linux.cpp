#include "tests/support/test_servers_linux.h"

#include <cstdio>
#include <cstdlib>

#include <strings.h>

#include <gtest/gtest.h>

namespace e2e {

namespace {

const char PYTHON[] = "/usr/bin/python3";
const char OPENSSL[] = "/usr/bin/openssl";

void run(const TempDir& dir, const std::vector<std::string>& args, const std::string& label)
{
    Process process(args, dir.path(label + ".out"), dir.path(label + ".err"));
    int code = -1;
    ASSERT_TRUE(process.waitExit(&code)) << label;
    ASSERT_EQ(code, 0) << label << ": " << readFile(dir.path(label + ".err"));
}

std::string script(const std::string& name)
{
    return std::string(AEROVANE_SOURCE_DIR) + "/tests/linux/" + name;
}

// The pieces of `text` between the separator lines, each without its end.
std::vector<std::string> entries(const std::string& text, const std::string& end)
{
    std::vector<std::string> out;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(end, from)) != std::string::npos; from = at + end.size())
        out.push_back(text.substr(from, at - from));
    return out;
}

} // namespace

TestAuthority::TestAuthority(const TempDir& d) : dir(d), certificate(d.path("authority.pem")), key(d.path("authority.key"))
{
    run(dir,
        {OPENSSL, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key,
         "-out", certificate, "-days", "2", "-subj", "/CN=Aerovane test authority", "-addext",
         "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign"},
        "openssl-authority");
}

ServerCertificate TestAuthority::issue(const std::string& label, const std::string& names) const
{
    const ServerCertificate issued{dir.path(label + ".pem"), dir.path(label + ".key")};
    const std::string request = dir.path(label + ".csr");
    const std::string extensions = dir.path(label + ".ext");
    writeFile(extensions, "subjectAltName=" + names +
                              "\nbasicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                              "extendedKeyUsage=serverAuth\n");
    run(dir,
        {OPENSSL, "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", issued.key,
         "-out", request, "-subj", "/CN=" + label},
        "openssl-" + label + "-request");
    run(dir,
        {OPENSSL, "x509", "-req", "-in", request, "-CA", certificate, "-CAkey", key, "-set_serial",
         std::to_string(std::rand() + 1), "-days", "2", "-extfile", extensions, "-out", issued.certificate},
        "openssl-" + label + "-sign");
    return issued;
}

std::string LoggedRequest::header(const std::string& name) const
{
    for (const std::string& given : headers) {
        if (given.size() > name.size() + 1 && given[name.size()] == ':' &&
            strncasecmp(given.c_str(), name.c_str(), name.size()) == 0)
            return given.substr(name.size() + (given[name.size() + 1] == ' ' ? 2 : 1));
    }
    return "";
}

ScriptServer::ScriptServer(const TempDir& dir, const std::string& label, const std::string& name,
                           const std::vector<std::string>& options)
    : logPath(dir.path(label + ".log")), portFile(dir.path(label + ".port")), outPath(dir.path(label + ".out")),
      errPath(dir.path(label + ".err"))
{
    command = {PYTHON, script(name), "--log", logPath, "--port-file", portFile};
    command.insert(command.end(), options.begin(), options.end());
    start(command);
}

void ScriptServer::start(const std::vector<std::string>& args)
{
    std::remove(portFile.c_str());
    process = std::make_unique<Process>(args, outPath, errPath);
    const bool ready = waitUntil([&] { return fileExists(portFile) || !process->running(); });
    listening = ready && fileExists(portFile) ? std::atoi(readFile(portFile).c_str()) : 0;
    EXPECT_GT(listening, 0) << args[1] << " did not start: " << readFile(errPath);
}

void ScriptServer::listenAgain()
{
    std::vector<std::string> again = command;
    again.insert(again.end(), {"--port", std::to_string(port())});
    start(again);
}

ScriptServer::~ScriptServer() { stop(); }

void ScriptServer::stop()
{
    endProcess(process);
}

HttpTestServer::HttpTestServer(const TempDir& dir, const ServerCertificate* tls, const std::string& routesJson,
                               const std::string& label)
    : ScriptServer(dir, label, "http_test_server.py",
                   tls ? std::vector<std::string>{"--routes", dir.path(label + ".routes"), "--cert", tls->certificate,
                                                  "--key", tls->key}
                       : std::vector<std::string>{"--routes", dir.path(label + ".routes")}),
      routesPath(dir.path(label + ".routes")), scheme(tls ? "https" : "http"), outPath(dir.path(label + ".out"))
{
    setRoutes(routesJson);
}

void HttpTestServer::setRoutes(const std::string& routesJson)
{
    // Renamed into place: the server never reads half a file.
    writeFile(routesPath + ".new", routesJson);
    ASSERT_EQ(std::rename((routesPath + ".new").c_str(), routesPath.c_str()), 0);
}

std::string HttpTestServer::url(const std::string& target, const std::string& host) const
{
    return scheme + "://" + host + ":" + std::to_string(port()) + target;
}

std::vector<LoggedRequest> HttpTestServer::requests() const
{
    std::vector<LoggedRequest> out;
    const std::string text = fileExists(log()) ? readFile(log()) : "";
    std::size_t at = 0;
    auto nextLine = [&](std::string& line) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            return false;
        line = text.substr(at, end - at);
        at = end + 1;
        return true;
    };
    for (std::string line; nextLine(line);) {
        LoggedRequest request;
        if (line.rfind("REQUEST ", 0) != 0)
            break;
        request.line = line.substr(8);
        if (!nextLine(line) || line.rfind("FROM ", 0) != 0)
            break;
        request.from = line.substr(5);
        while (nextLine(line) && line.rfind("HEADER ", 0) == 0)
            request.headers.push_back(line.substr(7));
        if (line.rfind("BODY ", 0) != 0)
            break;
        const std::size_t length = std::strtoul(line.c_str() + 5, nullptr, 10);
        if (at + length + 5 > text.size())
            break; // still being written
        request.body = text.substr(at, length);
        at += length + 1;
        if (!nextLine(line) || line != "END")
            break;
        out.push_back(request);
    }
    return out;
}

bool HttpTestServer::waitForRequests(std::size_t count, int timeoutMs) const
{
    return waitUntil([&] { return requests().size() >= count; }, timeoutMs);
}

std::vector<std::string> HttpTestServer::endedConnections() const
{
    std::vector<std::string> ended;
    for (const std::string& line : linesStartingWith(outPath, "closed "))
        ended.push_back(line.substr(7));
    return ended;
}

AprsTestServer::AprsTestServer(const TempDir& dir, Login login, const std::string& label)
    : ScriptServer(dir, label, "aprs_test_server.py",
                   login == Login::silent        ? std::vector<std::string>{"--silent"}
                   : login == Login::endlessLine ? std::vector<std::string>{"--long-line"}
                                                 : std::vector<std::string>{}),
      out(dir.path(label + ".out"))
{
}

int AprsTestServer::loginsRead() const
{
    return static_cast<int>(linesStartingWith(out, "login").size());
}

std::vector<std::string> AprsTestServer::connections() const
{
    return entries(fileExists(log()) ? readFile(log()) : "", "\nEND\n");
}

} // namespace e2e
