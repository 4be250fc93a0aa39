#include "report/today_extremes.h"

#include <cmath>

#include "readings/record_time.h"

void initTodayExtremes(TodayExtremes& today, std::int64_t endMinute)
{
    today = TodayExtremes{};
    std::int64_t day = endMinute / MINUTES_PER_DAY;
    if (endMinute % MINUTES_PER_DAY < 0)
        --day;
    today.first = day * MINUTES_PER_DAY;
    today.last = endMinute;
}

void addToToday(TodayExtremes& today, const ReportSample& sample, double rainIncrease)
{
    if (sample.minute < today.first || sample.minute > today.last)
        return;
    for (int q = 0; q < CHARTED_COUNT; ++q) {
        const double value = usableValue(sample, CHARTED_FIELDS[q]);
        if (std::isnan(value))
            continue;
        // Strict comparisons keep the first time a value was reached.
        if (!today.low[q].seen || value < today.low[q].value)
            today.low[q] = {value, sample.minute, true};
        if (!today.high[q].seen || value > today.high[q].value)
            today.high[q] = {value, sample.minute, true};
    }
    if (!std::isnan(rainIncrease)) {
        today.rain += rainIncrease;
        today.rainSeen = true;
    }
}
