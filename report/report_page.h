// The report page of `aerovane report`: one self-contained static HTML file
// with the current conditions, today's highs and lows, and charts of the
// last day, week, month and year. Built from samples streamed in time order,
// so a year of one-minute observations takes no more memory than a day's;
// no file or database is touched here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "readings/station_fields.h"
#include "readings/units.h"
#include "report/report_buckets.h"
#include "report/today_extremes.h"

class ReportBuilder {
public:
    // The charts end at endMinute (the newest observation's time): the last
    // day, week (7 days), month (30 days) and year (365 days) before it.
    explicit ReportBuilder(std::int64_t endMinute);
    // Samples in ascending time; those outside the year or after endMinute
    // are ignored.
    void add(const ReportSample& sample);
    // The whole page, UTF-8. latest: the newest observation (null: the
    // archive is empty, the page says there are no observations yet).
    std::string page(const StationFields* latest, const UnitSettings& units) const;

private:
    std::int64_t endMinute;
    RainCounter rain;
    TodayExtremes today;
    std::vector<RangeBuckets> ranges;
};

// A sample from parsed fields: each number read as the rest of the program
// reads it (readDecimalNumber); absent, invalid and text fields are NaN.
ReportSample reportSample(std::int64_t minute, const StationFields& fields);
