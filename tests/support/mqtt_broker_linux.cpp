#include "tests/support/mqtt_broker_linux.h"

#include <cstddef>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace e2e {

namespace {

const char BROKER[] = "/usr/sbin/mosquitto";
const char PASSWD[] = "/usr/bin/mosquitto_passwd";
const char SUB[] = "/usr/bin/mosquitto_sub";
const char PUB[] = "/usr/bin/mosquitto_pub";

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// A port nothing listens on now: the kernel's choice for a socket bound to
// port 0.
int freePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = loopback(port);
    const bool done = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return done;
}

void runToEnd(const TempDir& dir, const std::vector<std::string>& args, const std::string& label)
{
    Process process(args, dir.path(label + ".out"), dir.path(label + ".err"));
    int code = -1;
    ASSERT_TRUE(process.waitExit(&code)) << label;
    ASSERT_EQ(code, 0) << label << ": " << readFile(dir.path(label + ".err"));
}

} // namespace

MqttBroker::MqttBroker(const TempDir& dir, const BrokerLogin* login, const ServerCertificate* tls,
                       const std::string& label)
    : configPath(dir.path(label + ".conf")), logPath(dir.path(label + ".log")), errPath(dir.path(label + ".err"))
{
    listening = freePort();
    // "user root": run as root (a container), the broker keeps its user and
    // can read the test's files; as anyone else the line has no effect.
    std::string config = "listener " + std::to_string(listening) + " 127.0.0.1\npersistence false\nuser root\n"
                       + "log_dest file " + logPath + "\nlog_type all\nconnection_messages true\n";
    if (login) {
        const std::string passwords = dir.path(label + ".passwords");
        runToEnd(dir, {PASSWD, "-c", "-b", passwords, login->user, login->password}, label + "-passwd");
        config += "allow_anonymous false\npassword_file " + passwords + "\n";
    } else {
        config += "allow_anonymous true\n";
    }
    if (tls)
        config += "certfile " + tls->certificate + "\nkeyfile " + tls->key + "\n";
    writeFile(configPath, config);
    start();
}

MqttBroker::~MqttBroker() { stop(); }

void MqttBroker::start()
{
    process = std::make_unique<Process>(std::vector<std::string>{BROKER, "-c", configPath}, errPath + ".out", errPath);
    const bool ready = waitUntil([&] { return accepts(listening) || !process->running(); });
    EXPECT_TRUE(ready && process->running()) << "the broker did not start: " << readFile(errPath) << readFile(logPath);
}

void MqttBroker::stop()
{
    endProcess(process);
}

int MqttBroker::connectionsSeen() const
{
    const std::string text = readFile(logPath);
    int count = 0;
    for (std::size_t at = text.find("New connection from"); at != std::string::npos;
         at = text.find("New connection from", at + 1))
        ++count;
    return count;
}

MqttSubscriber::MqttSubscriber(const TempDir& dir, const MqttBroker& broker, const std::string& topic,
                               const std::vector<std::string>& options, const std::string& label)
    : outPath(dir.path(label + ".out"))
{
    std::vector<std::string> args = {SUB, "-h", "127.0.0.1", "-p", std::to_string(broker.port()), "-q", "1",
                                     "-t", topic, "-v"};
    args.insert(args.end(), options.begin(), options.end());
    process = std::make_unique<Process>(args, outPath, dir.path(label + ".err"));
}

std::vector<std::string> MqttSubscriber::messages() const
{
    return linesStartingWith(outPath, "");
}

std::vector<std::string> MqttSubscriber::payloads(const std::string& topic) const
{
    std::vector<std::string> found;
    for (const std::string& line : linesStartingWith(outPath, topic + " "))
        found.push_back(line.substr(topic.size() + 1));
    return found;
}

bool MqttSubscriber::waitFor(const std::string& topic, const std::string& payload, int timeoutMs) const
{
    return waitUntil(
        [&] {
            for (const std::string& got : payloads(topic))
                if (got == payload)
                    return true;
            return false;
        },
        timeoutMs);
}

bool MqttSubscriber::waitForCount(const std::string& topic, std::size_t count, int timeoutMs) const
{
    return waitUntil([&] { return payloads(topic).size() >= count; }, timeoutMs);
}

void publishToBroker(const TempDir& dir, const MqttBroker& broker, const std::string& topic,
                     const std::string& payload, bool retain)
{
    std::vector<std::string> args = {PUB, "-h", "127.0.0.1", "-p", std::to_string(broker.port()), "-q", "1",
                                     "-t", topic, "-m", payload};
    if (retain)
        args.push_back("-r");
    runToEnd(dir, args, "pub");
}

} // namespace e2e
