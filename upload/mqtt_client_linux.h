// The service's MQTT client (libmosquitto): one connection to the broker,
// kept by a network thread of its own so that nothing the service does
// waits on the broker. The broker holds "<topic>/status": "online" while
// the service is connected, "offline" after a clean stop (published here)
// or a crash (the will). Each state goes to "<topic>/state" with QoS 1;
// while the broker is away only the newest state waits. Home Assistant's
// discovery message is published at every connection and again whenever
// "<discovery-prefix>/status" says "online" (Home Assistant restarted).
#pragma once

#include <string>

#include "settings/mqtt_config.h"

struct MqttDiscovery {
    std::string topic;   // empty: no discovery
    std::string payload;
};

class MqttClient {
public:
    MqttClient() = default;
    ~MqttClient();
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts connecting in the background. `caFile`: an authority trusted
    // besides the system's for TLS (empty: the system's only). 0 with the
    // reason when the client cannot be set up at all.
    int start(const MqttConfig& config, const std::string& caFile, const MqttDiscovery& discovery,
              std::string& error);

    // Any thread; never waits on the broker.
    void publishState(const std::string& json);

    // Publishes "offline" (waiting a moment for the broker's word), then
    // disconnects and ends the thread.
    void stop();

    struct State;

private:
    State* state = nullptr;
};
