// The service's live observations to an MQTT broker ([mqtt] in the
// configuration): the same JSON object `aerovane live --json` prints, in
// the configured units, to "<topic>/state" (mqtt_client_linux.h).
#pragma once

#include <cstdint>

#include "settings/config_file.h"

// Starts the client when a broker is configured; a client that cannot be
// set up is logged and left off, the rest of the service goes on.
void startMqttPublishing(const AppConfig& config);

// A live observation (the reader's assembly buffer); never waits.
void publishLiveObservation(const std::uint8_t* record);

// "offline" to the broker, then the client ends.
void stopMqttPublishing();
