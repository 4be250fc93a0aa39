// The autumn night's repeated hour. The console stamps its records with its
// own local clock, which the service sets from this machine's local time;
// when the clocks go back, the local times of one hour (01:00-01:59 in the
// US, 02:00-02:59 in Europe/Berlin) come twice. Which pass a record belongs
// to is decided here, from the order the console sent its records in and
// the machine's time-zone rules: the first pass is fold 0 (as is every time
// that comes once), the second fold 1.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readings/record_time.h"

// The zone's rules: the offset from UTC, in seconds east, in force at a
// UTC instant (seconds since 1970).
using UtcOffsetAt = long (*)(std::int64_t utcSecond);

// This machine's rules (the TZ variable, else its configured zone).
long machineUtcOffset(std::int64_t utcSecond);

// Local minutes [first, end) that come twice. A change of offset in the
// middle of a minute repeats that minute too.
struct RepeatedSpan {
    std::int64_t first;
    std::int64_t end;
};

// 1 with the span when `localMinute` comes twice by the zone's rules.
// A zone is taken to change its offset at most once in two days.
int repeatedSpanAt(std::int64_t localMinute, UtcOffsetAt offsetAt, RepeatedSpan& span);

// The UTC second a local minute of the given pass names: in the repeated
// hour the first pass is the earlier instant, the second the later; a
// minute the zone skips (the spring gap) is read with the offset before it.
std::int64_t utcSecondOf(std::int64_t localMinute, int fold, UtcOffsetAt offsetAt);

struct RowPass {
    int fold;      // 0 first (or only) pass, 1 second pass
    bool repeated; // the time comes twice; span says which hour
    RepeatedSpan span;
};

// Decides the pass of each record in the order the console sent them. A
// time of a repeated span is of the second pass when the console's clock
// went back to it (from later in the span, or from just after it when the
// clock was set back late), and stays so while the clock runs on within
// the span.
class FoldTracker {
public:
    explicit FoldTracker(UtcOffsetAt rules) : offsetAt(rules) {}
    RowPass next(std::int64_t minute);
    // The record before the next one: its minute and pass (a stored record
    // recognised at its other pass, or the last one stored before a restart).
    void follow(std::int64_t minute, int fold);

private:
    UtcOffsetAt offsetAt;
    bool any = false;
    std::int64_t lastMinute = 0;
    int lastFold = 0;
};

// The text a row is ordered by: its own time for the first pass, and for
// the second the span's last minute, '~' and its own time, which sorts
// after the whole first pass and before the first minute after the span.
constexpr std::size_t SORT_TIME_SIZE = 2 * ISO_TIME_SIZE;
void sortTimeText(const char* time, int fold, const RepeatedSpan& span, char out[SORT_TIME_SIZE]);
