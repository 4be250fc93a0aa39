// The service's MQTT publishing to a home-automation hub's broker, the
// [mqtt] section of the configuration:
//
//   [mqtt]
//   host = HOST             ; the broker; MQTT is on when a host is given
//   port = 1883             ; 1..65535 (8883 is usual with tls = on)
//   user = NAME             ; and password: the broker's login, when it asks for one
//   password = SECRET
//   tls = off               ; on: TLS, the broker's certificate checked against
//                           ; [tls] ca-file and the system's authorities
//   topic = aerovane        ; base topic: <topic>/state, <topic>/status
//   discovery = on          ; Home Assistant's discovery message
//   discovery-prefix = homeassistant
//   retain = on             ; the broker keeps the newest state for new subscribers
#pragma once

#include <string>
#include <string_view>

constexpr int MQTT_DEFAULT_PORT = 1883;

struct MqttConfig {
    std::string host; // empty: MQTT is off
    int port = MQTT_DEFAULT_PORT;
    std::string user;
    std::string password;
    bool tls = false;
    std::string topic = "aerovane";
    bool discovery = true;
    std::string discoveryPrefix = "homeassistant";
    bool retain = true;
};

// One "key = value" line of [mqtt] into `config`. 1 when taken; 0 with the
// reason (a sentence that never holds the value) in `why`, "unknown key"
// for a key the section does not have.
int readMqttLine(std::string_view key, std::string_view value, MqttConfig& config, std::string& why);
