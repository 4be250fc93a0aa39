// The two observations the weather networks' worked examples are written
// from, in the console's units, the identity whose escaping they check, and
// replies as the transport hands them over.
#pragma once

#include <cmath>
#include <string>

#include "upload/observation.h"

inline ArchivedObservation emptyObservation(std::int64_t utcSecond)
{
    ArchivedObservation o{};
    o.utcSecond = utcSecond;
    for (double& value : o.value)
        value = NAN;
    return o;
}

// 2026-03-01 12:34:56 UTC: a cold, windy, wet morning, every outdoor reading there.
inline ArchivedObservation wintryObservation()
{
    ArchivedObservation o = emptyObservation(1772368496);
    o.value[StationFields::outdoorTemp] = -5.3;
    o.value[StationFields::outdoorHumidity] = 87;
    o.value[StationFields::dewPoint] = -7.1;
    o.value[StationFields::windDirDegrees] = 225;
    o.value[StationFields::windSpeed] = 14.4;
    o.value[StationFields::windGust] = 25.2;
    o.value[StationFields::relPressure] = 1013.2;
    o.value[StationFields::absPressure] = 1001.0; // never sent: the networks want sea level
    o.value[StationFields::hourlyRain] = 1.5;
    o.value[StationFields::dailyRain] = 12.7;
    o.value[StationFields::uvIndex] = 3;
    return o;
}

// 2025-12-31 23:59:07 UTC: -20 °C, calm, 1000 hPa; every other sensor lost
// (NaN), which must be left out rather than sent as 0.
inline ArchivedObservation sparseObservation()
{
    ArchivedObservation o = emptyObservation(1767225547);
    o.value[StationFields::outdoorTemp] = -20.0;
    o.value[StationFields::windSpeed] = 0.0;
    o.value[StationFields::relPressure] = 1000.0;
    o.value[StationFields::outdoorHumidity] = INFINITY; // a damaged row: no reading either
    return o;
}

// '&' and '+' and a space would split or change a query; é is two UTF-8 bytes.
constexpr char AWKWARD_STATION[] = "K&D 1+\xC3\xA9";
constexpr char AWKWARD_STATION_ESCAPED[] = "K%26D+1%2B%C3%A9";

// A reply as the transport hands it over.
inline HttpReply httpReply(int status, const std::string& body, long retryAfterSeconds = -1)
{
    HttpReply reply;
    reply.status = status;
    reply.body = body;
    reply.retryAfterSeconds = retryAfterSeconds;
    return reply;
}
