#include "settings/mqtt_config.h"

#include "settings/config_values.h"

namespace {

// A host name or address, as the client resolves it: no blanks, no scheme.
bool readHost(std::string_view value, std::string& out)
{
    for (char c : value)
        if (c == ' ' || c == '/' || c == '\t')
            return false;
    return readText(value, out);
}

// A topic the service publishes below: a subscriber's wildcards and empty
// levels would make a topic no one can subscribe to exactly.
bool readTopic(std::string_view value, std::string& out)
{
    if (value.empty() || value.front() == '/' || value.back() == '/'
        || value.find("//") != std::string_view::npos || value.find_first_of("+#") != std::string_view::npos)
        return false;
    return readText(value, out);
}

} // namespace

int readMqttLine(std::string_view key, std::string_view value, MqttConfig& config, std::string& why)
{
    if (key == "host") {
        if (readHost(value, config.host))
            return 1;
        why = "a host is a name or address of 1 to 256 bytes without blanks";
    } else if (key == "port") {
        if (readNumber(value, 1, 65535, config.port))
            return 1;
        why = "port is a number from 1 to 65535";
    } else if (key == "user") {
        if (readText(value, config.user))
            return 1;
        why = "a user is 1 to 256 bytes of text";
    } else if (key == "password") {
        if (readText(value, config.password))
            return 1;
        why = "a password is 1 to 256 bytes of text";
    } else if (key == "tls") {
        if (readSwitch(value, config.tls))
            return 1;
        why = "tls is on or off";
    } else if (key == "topic" || key == "discovery-prefix") {
        if (readTopic(value, key == "topic" ? config.topic : config.discoveryPrefix))
            return 1;
        why = std::string(key) + " is a topic of 1 to 256 bytes without +, # or empty levels";
    } else if (key == "discovery") {
        if (readSwitch(value, config.discovery))
            return 1;
        why = "discovery is on or off";
    } else if (key == "retain") {
        if (readSwitch(value, config.retain))
            return 1;
        why = "retain is on or off";
    } else {
        why = "unknown key";
    }
    return 0;
}
