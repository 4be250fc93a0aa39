// The station's id in Home Assistant: the same across restarts and any
// change of the configuration, so the device and its history stay one.
// Derived from this machine's id (/etc/machine-id) keyed for this program,
// as systemd recommends, so the machine's own id is never published.
#pragma once

#include <string>

// 16 hex digits; empty when this machine has no id.
std::string stationDeviceId();
