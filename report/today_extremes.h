// Today's highs and lows: from local midnight of the end minute's day up to
// the end minute, each with the minute it first happened.
#pragma once

#include <cstdint>

#include "report/report_buckets.h"

struct Extreme {
    double value;
    std::int64_t minute;
    bool seen;
};

struct TodayExtremes {
    std::int64_t first; // local midnight
    std::int64_t last;  // the end minute
    Extreme low[CHARTED_COUNT];
    Extreme high[CHARTED_COUNT];
    double rain; // summed increases since midnight
    bool rainSeen;
};

void initTodayExtremes(TodayExtremes& today, std::int64_t endMinute);
void addToToday(TodayExtremes& today, const ReportSample& sample, double rainIncrease);
