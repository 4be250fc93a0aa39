// Home Assistant's MQTT discovery of the station: one retained message in
// the device form that makes the station one device with a sensor per
// reading, in the owner's units, reading the state object that
// `aerovane live --json` prints (dashboard/live_json.h). Portable: the
// MQTT client (mqtt_client_linux.h) publishes what this builds.
#pragma once

#include <string>
#include <vector>

#include "readings/units.h"

struct DiscoveryDevice {
    std::string id;            // stable across restarts and configurations: "aerovane_<id>" in topics and ids
    std::string baseTopic;     // [mqtt] topic: "<baseTopic>/state", "<baseTopic>/status"
    std::string prefix;        // [mqtt] discovery-prefix
    std::string release;       // the program's version, the device's sw_version
    int expireAfterSeconds;    // a few live intervals: the sensors go unavailable when the state stops; 0 never
};

// "<prefix>/device/aerovane_<id>/config". Home Assistant takes only
// [a-zA-Z0-9_-] in that level, so any other byte of the id becomes '_' there
// (the ids inside the message keep the id as it is).
std::string discoveryTopic(const DiscoveryDevice& device);

// The discovery message's JSON: the device block, the origin block, the
// availability topic, the state topic, and one component per reading the
// state object can hold, each with its device_class, its unit in `units`,
// its state_class, a value_template reading its member of the state
// object, a unique_id and expire_after. A reading the object leaves out
// (invalid) shows as unknown, never as 0.
std::string discoveryPayload(const DiscoveryDevice& device, const UnitSettings& units);

// The state object's members that have a sensor, in the order of the
// components: for the tests and for removing a component.
std::vector<std::string> discoveryReadings();
