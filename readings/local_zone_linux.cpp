#include "readings/local_zone_linux.h"

#include <ctime>
#include <initializer_list>

#include "readings/record_time.h"

std::int64_t localNowMinutes()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return minutesFromCivil(CivilMinute{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                                        local.tm_min});
}

namespace {

std::tm civilTm(std::int64_t localMinutes, int isDst)
{
    const CivilMinute civil = civilFromMinutes(localMinutes);
    std::tm local{};
    local.tm_year = civil.year - 1900;
    local.tm_mon = civil.month - 1;
    local.tm_mday = civil.day;
    local.tm_hour = civil.hour;
    local.tm_min = civil.minute;
    local.tm_isdst = isDst;
    return local;
}

} // namespace

std::int64_t earliestUtcMinutes(std::int64_t localMinutes)
{
    const CivilMinute civil = civilFromMinutes(localMinutes);
    std::int64_t earliest = 0;
    bool found = false;
    // Each reading of the summer flag that names this very local time.
    for (const int isDst : {0, 1}) {
        std::tm local = civilTm(localMinutes, isDst);
        const std::time_t at = mktime(&local);
        if (at == static_cast<std::time_t>(-1) || local.tm_isdst != isDst || local.tm_hour != civil.hour
            || local.tm_min != civil.minute)
            continue;
        const std::int64_t minutes = floorDivide(static_cast<std::int64_t>(at), 60);
        earliest = found && earliest < minutes ? earliest : minutes;
        found = true;
    }
    if (!found) {
        std::tm local = civilTm(localMinutes, -1);
        earliest = floorDivide(static_cast<std::int64_t>(mktime(&local)), 60);
    }
    return earliest;
}

std::int64_t utcNowMinutes()
{
    return floorDivide(static_cast<std::int64_t>(std::time(nullptr)), 60);
}

int localUtcOffset(std::int64_t localMinutes, int& offsetMinutes)
{
    const CivilMinute civil = civilFromMinutes(localMinutes);
    std::tm local = civilTm(localMinutes, -1);
    // Whole minutes, so -1 is never 1969-12-31 23:59:59 but a failure.
    if (mktime(&local) == static_cast<std::time_t>(-1))
        return 0;
    // A time in the spring gap comes back moved an hour on.
    if (local.tm_hour != civil.hour || local.tm_min != civil.minute || local.tm_mday != civil.day)
        return 0;
    offsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
    return 1;
}
