// What the Linux service delivers to the weather networks that build their
// own requests: one archived observation, and the HTTP exchange of one
// delivery with what its reply says.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "readings/station_fields.h"

// The moment the observation was made, in UTC, and its readings in the
// console's units (°C, %, mm, mm/h, km/h, hPa, degrees, UV index), indexed
// by StationFields::Index. NaN where the console had no valid reading and
// for the fields that are no numbers (recordDate, recordTime, windDirPoint).
struct ArchivedObservation {
    std::int64_t utcSecond; // seconds since 1970
    double value[STATION_FIELD_COUNT];
};

struct HttpRequest {
    std::string method;               // "GET" or "POST"
    std::string url;                  // scheme, host, path and query
    std::vector<std::string> headers; // besides the transport's own: "Name: value"
    std::string body;                 // POST only
};

struct HttpReply {
    int status = 0;              // 0: no answer (the transport says why in failure)
    std::string body;            // the first HTTP_REPLY_BODY_LIMIT bytes
    long retryAfterSeconds = -1; // the Retry-After header; -1 when absent or unreadable
    std::string failure;         // why there was no answer
};

constexpr std::size_t HTTP_REPLY_BODY_LIMIT = 65536;

enum class DeliveryVerdict {
    accepted,    // the service took the observation
    refused,     // bad credentials or a request it will never take: stop until the configuration changes
    rateLimited, // wait as told (waitSeconds), then send the same again
    failed,      // no answer or a fault of the service: try again later
};

struct DeliveryOutcome {
    DeliveryVerdict verdict;
    long waitSeconds; // rateLimited: as the service told; -1 when it did not say
    std::string reason; // one line for the log and `status`: the service's own words where it gave any
};
