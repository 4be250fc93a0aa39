#include "dashboard/live_record.h"

#include <cstddef>
#include <cstring>

namespace {

constexpr std::size_t LIVE_COPY_SIZE = 255;

} // namespace

void parseLiveRecord(const std::uint8_t* record, StationFields& fields)
{
    char copy[LIVE_COPY_SIZE];
    std::memcpy(copy, record, LIVE_COPY_SIZE);
    copy[LIVE_COPY_SIZE - 1] = '\0';
    parseStationRecord(copy, sizeof copy, fields);
}
