// Debian's mosquitto broker on a free loopback port for the MQTT tests,
// with a configuration made for the test (anonymous, or a password file
// made with mosquitto_passwd; plain or TLS with a test authority's
// certificate), and mosquitto_sub reading what is published to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/process_linux.h"
#include "tests/support/test_servers_linux.h"

namespace e2e {

struct BrokerLogin {
    std::string user;
    std::string password;
};

class MqttBroker {
public:
    // `login` null: anyone may connect. `tls` null: plain MQTT.
    MqttBroker(const TempDir& dir, const BrokerLogin* login = nullptr, const ServerCertificate* tls = nullptr,
               const std::string& label = "broker");
    ~MqttBroker();
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;
    int port() const { return listening; }
    const std::string& log() const { return logPath; }
    // Ends it with SIGTERM; start() listens again on the same port.
    void stop();
    void start();
    // Connections the broker saw arriving so far.
    int connectionsSeen() const;

private:
    std::unique_ptr<Process> process;
    std::string configPath;
    std::string logPath;
    std::string errPath;
    int listening = 0;
};

// mosquitto_sub on `topic` (wildcards allowed); the messages it printed,
// each "TOPIC PAYLOAD".
class MqttSubscriber {
public:
    MqttSubscriber(const TempDir& dir, const MqttBroker& broker, const std::string& topic,
                   const std::vector<std::string>& options = {}, const std::string& label = "sub");
    std::vector<std::string> messages() const;
    // The payloads that came on `topic`, in order.
    std::vector<std::string> payloads(const std::string& topic) const;
    bool waitFor(const std::string& topic, const std::string& payload, int timeoutMs = DEADLINE_MS) const;
    bool waitForCount(const std::string& topic, std::size_t count, int timeoutMs = DEADLINE_MS) const;

private:
    std::string outPath;
    std::unique_ptr<Process> process;
};

// mosquitto_pub of one message, waited for.
void publishToBroker(const TempDir& dir, const MqttBroker& broker, const std::string& topic,
                     const std::string& payload, bool retain = false);

} // namespace e2e
