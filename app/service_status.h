// The line `systemctl status aerovane` shows of the service (sd_notify's
// STATUS=): whether the console is connected, a history download under
// way, each weather service's last upload result with its time, and what
// the archive holds.
#pragma once

#include <cstdint>
#include <string>

#include "link/commands.h"
#include "settings/network_config.h"
#include "upload/observation.h"
#include "upload/upload_log.h"
#include "upload/upload_state.h"

struct UploadResultSeen {
    bool seen;
    UploadOutcome outcome;
    ClockTime at; // local time
};

struct NetworkResultSeen {
    bool seen;
    DeliveryVerdict verdict;
    ClockTime at; // local time
    long waiting; // observations still to send after it (a catch-up under way)
};

struct ServiceStatus {
    bool consoleConnected;
    bool downloading;
    unsigned long downloadReceived;
    unsigned long downloadTotal; // 0 while the console has not said
    UploadResultSeen uploads[UPLOAD_SERVICE_COUNT];
    NetworkResultSeen networks[NETWORK_COUNT];
    long consoleRecords;
    long liveObservations;
};

// "console connected; Weathercloud accepted at 09:05:30; WOW accepted at
// 09:05:31, catching up: 210 to go; archive: 50 console records, 3 live
// observations". A result of another day than
// `today` carries its date; a service with no result yet is left out. One
// line, ASCII.
std::string serviceStatusText(const ServiceStatus& status, const ClockTime& today);
