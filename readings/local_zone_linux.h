// This machine's time zone, for times the console stamps with its local
// clock.
#pragma once

#include <cstdint>

// The UTC offset of a local date-time (minutes as minutesFromCivil counts
// them) by this machine's zone rules (TZ, else /etc/localtime), in minutes.
// 0 for a local time the zone skips (the spring gap). In the autumn's
// repeated hour the zone library chooses one of the two.
int localUtcOffset(std::int64_t localMinutes, int& offsetMinutes);

// This machine's local time now, in minutes as minutesFromCivil counts them.
std::int64_t localNowMinutes();

// The earliest moment a local date-time can name, as minutes since
// 1970-01-01 00:00 UTC: in the autumn's repeated hour, its first pass; in
// the spring gap, the time the zone library moves it to.
std::int64_t earliestUtcMinutes(std::int64_t localMinutes);

// Now, as minutes since 1970-01-01 00:00 UTC.
std::int64_t utcNowMinutes();

// A console record stamped more than this far ahead of this machine's clock
// (a console whose clock was wrong for a while) is kept, but is not "now".
constexpr std::int64_t FUTURE_TOLERANCE_MINUTES = 10;
