// Whether two configurations hold the same settings, field by field.
#pragma once

#include <cstring>

#include "settings/config_file.h"

inline bool sameConfig(const AppConfig& a, const AppConfig& b)
{
    if (std::memcmp(&a.units, &b.units, sizeof a.units) != 0)
        return false;
    for (std::uint32_t s = 0; s < UPLOAD_SERVICE_COUNT; ++s) {
        const ServiceConfig& x = a.services[s];
        const ServiceConfig& y = b.services[s];
        if (std::strcmp(x.stationId, y.stationId) != 0 || std::strcmp(x.key, y.key) != 0 || x.upload != y.upload
            || std::strcmp(x.host.name, y.host.name) != 0 || x.host.port != y.host.port
            || x.hostGiven != y.hostGiven || x.url != y.url)
            return false;
    }
    for (std::size_t n = 0; n < NETWORK_COUNT; ++n) {
        const NetworkConfig& x = a.networks[n];
        const NetworkConfig& y = b.networks[n];
        if (x.upload != y.upload || x.identity != y.identity || x.secret != y.secret
            || x.intervalMinutes != y.intervalMinutes || x.endpoint != y.endpoint || x.backfillDays != y.backfillDays
            || x.latitude != y.latitude || x.longitude != y.longitude || x.latitudeGiven != y.latitudeGiven
            || x.longitudeGiven != y.longitudeGiven)
            return false;
    }
    const MqttConfig& m = a.mqtt;
    const MqttConfig& n = b.mqtt;
    if (m.host != n.host || m.port != n.port || m.user != n.user || m.password != n.password || m.tls != n.tls
        || m.topic != n.topic || m.discovery != n.discovery || m.discoveryPrefix != n.discoveryPrefix
        || m.retain != n.retain)
        return false;
    return a.tlsCaFile == b.tlsCaFile && a.archivePath == b.archivePath && a.reportFolder == b.reportFolder
        && a.reportEveryMinutes == b.reportEveryMinutes && a.clockSync == b.clockSync;
}
