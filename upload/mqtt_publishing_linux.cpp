#include "upload/mqtt_publishing_linux.h"

#include <string>

#include "app/service_log_linux.h"
#include "dashboard/live_json.h"
#include "dashboard/live_record.h"
#include "readings/local_zone_linux.h"
#include "resources/resource_ids.h"
#include "upload/home_assistant_discovery.h"
#include "upload/mqtt_client_linux.h"
#include "upload/mqtt_device_id_linux.h"

namespace {

// The console sends live observations several times a minute: five
// minutes without one is a console that is away.
constexpr int EXPIRE_AFTER_SECONDS = 300;

MqttClient client;
bool running = false;
UnitSettings units;

MqttDiscovery stationDiscovery(const AppConfig& config)
{
    if (!config.mqtt.discovery)
        return MqttDiscovery{};
    const std::string id = stationDeviceId();
    if (id.empty()) {
        printServiceLog(LogLevel::warning,
                        "MQTT: this machine has no id (/etc/machine-id): no discovery message for Home Assistant");
        return MqttDiscovery{};
    }
    const DiscoveryDevice device{id, config.mqtt.topic, config.mqtt.discoveryPrefix, AEROVANE_VERSION_TEXT,
                                 EXPIRE_AFTER_SECONDS};
    return MqttDiscovery{discoveryTopic(device), discoveryPayload(device, config.units)};
}

} // namespace

void startMqttPublishing(const AppConfig& config)
{
    if (config.mqtt.host.empty())
        return;
    units = config.units;
    std::string error;
    if (!client.start(config.mqtt, config.tlsCaFile, stationDiscovery(config), error)) {
        printServiceLog(LogLevel::error, error + "; nothing is published");
        return;
    }
    running = true;
}

void publishLiveObservation(const std::uint8_t* record)
{
    if (!running)
        return;
    // The reader's thread only: one buffer is enough.
    static StationFields fields;
    parseLiveRecord(record, fields);
    client.publishState(observationJsonLine(fields, units, localUtcOffset));
}

void stopMqttPublishing()
{
    running = false;
    client.stop();
}
