#include "report/report_buckets.h"

#include <cmath>
#include <limits>

#include "readings/record_time.h"

const int CHARTED_FIELDS[CHARTED_COUNT] = {
    StationFields::outdoorTemp, StationFields::dewPoint,  StationFields::outdoorHumidity,
    StationFields::relPressure, StationFields::absPressure, StationFields::windSpeed,
    StationFields::windGust,
};

namespace {

constexpr std::int64_t HOUR = 60;
constexpr std::int64_t DAY = MINUTES_PER_DAY;
constexpr std::int64_t WEEK = 7 * DAY;
// 1970-01-05 was a Monday: the year's rain bars are calendar weeks.
constexpr std::int64_t MONDAY_PHASE = 4 * DAY;

} // namespace

const RangeLayout RANGE_LAYOUTS[REPORT_RANGE_COUNT] = {
    {"day", "Day", "Last 24 hours", DAY, 5, HOUR, 0, false},
    {"week", "Week", "Last 7 days", 7 * DAY, 30, DAY, 0, false},
    {"month", "Month", "Last 30 days", 30 * DAY, 2 * HOUR, DAY, 0, true},
    {"year", "Year", "Last 12 months", 365 * DAY, DAY, WEEK, MONDAY_PHASE, true},
};

TimeGrid timeGrid(std::int64_t endMinute, std::int64_t span, std::int64_t width, std::int64_t phase)
{
    const std::int64_t lastStart = floorDivide(endMinute - phase, width) * width + phase;
    const std::int64_t firstStart = floorDivide(endMinute - span + 1 - phase, width) * width + phase;
    TimeGrid grid;
    grid.origin = firstStart;
    grid.width = width;
    grid.count = static_cast<int>((lastStart - firstStart) / width + 1);
    return grid;
}

int bucketOf(const TimeGrid& grid, std::int64_t minute)
{
    if (minute < grid.origin)
        return -1;
    const std::int64_t bucket = (minute - grid.origin) / grid.width;
    return bucket < grid.count ? static_cast<int>(bucket) : -1;
}

std::int64_t bucketStart(const TimeGrid& grid, int bucket)
{
    return grid.origin + bucket * grid.width;
}

void addToStats(BucketStats& stats, double value)
{
    if (std::isnan(value))
        return;
    if (stats.count == 0 || value < stats.min)
        stats.min = value;
    if (stats.count == 0 || value > stats.max)
        stats.max = value;
    stats.sum += value;
    ++stats.count;
}

double meanDirection(const DirectionSum& sum)
{
    constexpr double PI = 3.14159265358979323846;
    if (sum.count == 0)
        return std::numeric_limits<double>::quiet_NaN();
    // Opposite winds in equal share have no mean way.
    if (std::hypot(sum.east, sum.north) < 1e-6 * sum.count)
        return std::numeric_limits<double>::quiet_NaN();
    double degrees = std::atan2(sum.east, sum.north) * 180.0 / PI;
    if (degrees < 0)
        degrees += 360.0;
    if (degrees >= 359.95)
        degrees = 0.0;
    return degrees;
}

void initRangeBuckets(RangeBuckets& buckets, ReportRange range, std::int64_t endMinute)
{
    const RangeLayout& layout = RANGE_LAYOUTS[static_cast<int>(range)];
    buckets.range = range;
    buckets.last = endMinute;
    buckets.first = endMinute - layout.span + 1;
    buckets.lines = timeGrid(endMinute, layout.span, layout.lineWidth, 0);
    buckets.bars = timeGrid(endMinute, layout.span, layout.barWidth, layout.barPhase);
    buckets.stats.assign(static_cast<std::size_t>(buckets.lines.count) * CHARTED_COUNT, BucketStats{});
    buckets.direction.assign(static_cast<std::size_t>(buckets.lines.count), DirectionSum{});
    buckets.rain.assign(static_cast<std::size_t>(buckets.bars.count), 0.0);
    buckets.rainCount.assign(static_cast<std::size_t>(buckets.bars.count), 0);
}

const BucketStats& bucketStats(const RangeBuckets& buckets, int bucket, Charted quantity)
{
    return buckets.stats[static_cast<std::size_t>(bucket) * CHARTED_COUNT + static_cast<std::size_t>(quantity)];
}

void addToRange(RangeBuckets& buckets, const ReportSample& sample, double rainIncrease)
{
    constexpr double PI = 3.14159265358979323846;
    if (sample.minute < buckets.first || sample.minute > buckets.last)
        return;
    const int line = bucketOf(buckets.lines, sample.minute);
    if (line >= 0) {
        BucketStats* stats = &buckets.stats[static_cast<std::size_t>(line) * CHARTED_COUNT];
        for (int q = 0; q < CHARTED_COUNT; ++q)
            addToStats(stats[q], usableValue(sample, CHARTED_FIELDS[q]));
        const double bearing = usableValue(sample, StationFields::windDirDegrees);
        if (!std::isnan(bearing)) {
            DirectionSum& sum = buckets.direction[static_cast<std::size_t>(line)];
            sum.east += std::sin(bearing * PI / 180.0);
            sum.north += std::cos(bearing * PI / 180.0);
            ++sum.count;
        }
    }
    const int bar = bucketOf(buckets.bars, sample.minute);
    if (bar >= 0 && !std::isnan(rainIncrease)) {
        buckets.rain[static_cast<std::size_t>(bar)] += rainIncrease;
        ++buckets.rainCount[static_cast<std::size_t>(bar)];
    }
}

double rainIncrease(RainCounter& counter, std::int64_t minute, double dailyRain)
{
    if (std::isnan(dailyRain) || dailyRain < 0)
        return std::numeric_limits<double>::quiet_NaN();
    const std::int64_t day = floorDivide(minute, MINUTES_PER_DAY);
    double increase = 0.0;
    if (counter.seen)
        increase = (day != counter.previousDay || dailyRain < counter.previous) ? dailyRain
                                                                                : dailyRain - counter.previous;
    counter.seen = true;
    counter.previous = dailyRain;
    counter.previousDay = day;
    return increase;
}
