#include "upload/mqtt_publishing_linux.h"

#include <string>

#include "app/service_log_linux.h"
#include "dashboard/live_json.h"
#include "dashboard/live_record.h"
#include "readings/local_zone_linux.h"
#include "upload/mqtt_client_linux.h"

namespace {

MqttClient client;
bool running = false;
UnitSettings units;

} // namespace

void startMqttPublishing(const AppConfig& config)
{
    if (config.mqtt.host.empty())
        return;
    units = config.units;
    std::string error;
    if (!client.start(config.mqtt, config.tlsCaFile, MqttDiscovery{}, error)) {
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
