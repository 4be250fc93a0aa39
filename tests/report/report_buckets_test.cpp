// The report's streaming side: which bucket a sample falls in at the edges
// of buckets and ranges, the rain told from the console's daily totals, the
// mean wind direction, and today's highs and lows.
#include "report/report_buckets.h"
#include "report/today_extremes.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "readings/record_time.h"

namespace {

constexpr double NO_VALUE = std::numeric_limits<double>::quiet_NaN();

const std::int64_t END = minutesFromCivil({2026, 12, 7, 9, 5});

ReportSample emptySample(std::int64_t minute)
{
    ReportSample sample;
    sample.minute = minute;
    for (double& value : sample.value)
        value = NO_VALUE;
    return sample;
}

ReportSample temperatureSample(std::int64_t minute, double celsius)
{
    ReportSample sample = emptySample(minute);
    sample.value[StationFields::outdoorTemp] = celsius;
    return sample;
}

RangeBuckets rangeOf(ReportRange range)
{
    RangeBuckets buckets;
    initRangeBuckets(buckets, range, END);
    return buckets;
}

int countIn(const RangeBuckets& buckets, Charted quantity)
{
    int count = 0;
    for (int b = 0; b < buckets.lines.count; ++b)
        count += bucketStats(buckets, b, quantity).count;
    return count;
}

// ---- time grid ---------------------------------------------------------------

TEST(ReportBuckets, GridIsClockAlignedAndEndsInTheBucketOfTheEnd)
{
    const TimeGrid grid = timeGrid(END, MINUTES_PER_DAY, 5, 0);
    EXPECT_EQ(grid.origin % 5, 0);
    EXPECT_EQ(bucketOf(grid, END), grid.count - 1);
    EXPECT_EQ(bucketStart(grid, grid.count - 1), minutesFromCivil({2026, 12, 7, 9, 5}));
    // The oldest minute of the day range is in the first bucket.
    EXPECT_EQ(bucketOf(grid, END - MINUTES_PER_DAY + 1), 0);
    EXPECT_EQ(bucketOf(grid, grid.origin - 1), -1);
    EXPECT_EQ(bucketOf(grid, bucketStart(grid, grid.count - 1) + 5), -1);
}

TEST(ReportBuckets, SampleOnABucketBoundaryStartsTheLaterBucket)
{
    const TimeGrid grid = timeGrid(END, MINUTES_PER_DAY, 5, 0);
    const std::int64_t boundary = bucketStart(grid, 10);
    EXPECT_EQ(bucketOf(grid, boundary), 10);
    EXPECT_EQ(bucketOf(grid, boundary - 1), 9);
    EXPECT_EQ(bucketOf(grid, boundary + 4), 10);
}

TEST(ReportBuckets, YearRainBarsAreMondayWeeks)
{
    const RangeBuckets year = rangeOf(ReportRange::year);
    for (int b = 0; b < year.bars.count; ++b) {
        const std::int64_t start = bucketStart(year.bars, b);
        EXPECT_EQ(start % MINUTES_PER_DAY, 0);
        // 2026-12-07 is a Monday: every bar starts a whole number of weeks from it.
        EXPECT_EQ((minutesFromCivil({2026, 12, 7, 0, 0}) - start) % (7 * MINUTES_PER_DAY), 0);
    }
    EXPECT_EQ(bucketStart(year.bars, year.bars.count - 1), minutesFromCivil({2026, 12, 7, 0, 0}));
}

TEST(ReportBuckets, EveryRangeFitsItsSpanInFewBuckets)
{
    for (int r = 0; r < REPORT_RANGE_COUNT; ++r) {
        const RangeBuckets buckets = rangeOf(static_cast<ReportRange>(r));
        const RangeLayout& layout = RANGE_LAYOUTS[r];
        EXPECT_EQ(buckets.last - buckets.first + 1, layout.span);
        EXPECT_LE(buckets.lines.count, layout.span / layout.lineWidth + 1) << layout.id;
        EXPECT_LE(buckets.lines.count, 400) << layout.id;
        EXPECT_EQ(bucketOf(buckets.lines, buckets.first), 0) << layout.id;
        EXPECT_EQ(bucketOf(buckets.bars, buckets.first), 0) << layout.id;
    }
}

// ---- which samples a range takes ----------------------------------------------

TEST(ReportBuckets, RangeTakesItsEdgesAndNothingBeyond)
{
    RangeBuckets day = rangeOf(ReportRange::day);
    addToRange(day, temperatureSample(END, 1), NO_VALUE);
    addToRange(day, temperatureSample(END - MINUTES_PER_DAY + 1, 2), NO_VALUE);
    addToRange(day, temperatureSample(END - MINUTES_PER_DAY, 3), NO_VALUE); // a full day before: yesterday's
    addToRange(day, temperatureSample(END + 1, 4), NO_VALUE);
    EXPECT_EQ(countIn(day, Charted::outdoorTemp), 2);
    EXPECT_EQ(bucketStats(day, day.lines.count - 1, Charted::outdoorTemp).max, 1);
    EXPECT_EQ(bucketStats(day, 0, Charted::outdoorTemp).max, 2);

    RangeBuckets year = rangeOf(ReportRange::year);
    addToRange(year, temperatureSample(END - 365 * MINUTES_PER_DAY, 5), NO_VALUE);
    addToRange(year, temperatureSample(END - 365 * MINUTES_PER_DAY + 1, 6), NO_VALUE);
    EXPECT_EQ(countIn(year, Charted::outdoorTemp), 1);
}

TEST(ReportBuckets, BucketKeepsMinMaxSumAndCount)
{
    RangeBuckets day = rangeOf(ReportRange::day);
    const std::int64_t start = bucketStart(day.lines, 100);
    for (double value : {4.0, -2.5, 7.0})
        addToRange(day, temperatureSample(start + 1, value), NO_VALUE);
    addToRange(day, emptySample(start + 2), NO_VALUE);
    const BucketStats& stats = bucketStats(day, 100, Charted::outdoorTemp);
    EXPECT_EQ(stats.count, 3);
    EXPECT_DOUBLE_EQ(stats.min, -2.5);
    EXPECT_DOUBLE_EQ(stats.max, 7.0);
    EXPECT_DOUBLE_EQ(stats.sum, 8.5);
    EXPECT_EQ(bucketStats(day, 99, Charted::outdoorTemp).count, 0);
    EXPECT_EQ(bucketStats(day, 100, Charted::dewPoint).count, 0);
}

TEST(ReportBuckets, DamagedHugeValuesAreNotCharted)
{
    RangeBuckets day = rangeOf(ReportRange::day);
    addToRange(day, temperatureSample(END, 1e30), NO_VALUE);
    addToRange(day, temperatureSample(END, std::numeric_limits<double>::infinity()), NO_VALUE);
    EXPECT_EQ(countIn(day, Charted::outdoorTemp), 0);
}

// ---- wind direction -----------------------------------------------------------

double meanOf(std::initializer_list<double> bearings)
{
    RangeBuckets day = rangeOf(ReportRange::day);
    for (double bearing : bearings) {
        ReportSample sample = emptySample(END);
        sample.value[StationFields::windDirDegrees] = bearing;
        addToRange(day, sample, NO_VALUE);
    }
    return meanDirection(day.direction[static_cast<std::size_t>(day.lines.count - 1)]);
}

TEST(ReportBuckets, MeanDirectionIsAVectorMean)
{
    EXPECT_NEAR(meanOf({350, 10}), 0.0, 1e-9);
    EXPECT_NEAR(meanOf({340, 350, 0, 10, 20}), 0.0, 1e-9);
    EXPECT_NEAR(meanOf({80, 100}), 90.0, 1e-9);
    EXPECT_NEAR(meanOf({260, 280}), 270.0, 1e-9);
    EXPECT_NEAR(meanOf({359}), 359.0, 1e-9);
    // Opposite winds in equal share have no mean; no samples have none either.
    EXPECT_TRUE(std::isnan(meanOf({90, 270})));
    EXPECT_TRUE(std::isnan(meanOf({})));
}

// ---- rain ---------------------------------------------------------------------

TEST(ReportRain, IncreasesAddUpAndMidnightResetCountsTheNewTotal)
{
    RainCounter counter;
    const std::int64_t evening = minutesFromCivil({2026, 12, 6, 23, 50});
    EXPECT_EQ(rainIncrease(counter, evening, 4.0), 0.0); // nothing to compare with
    EXPECT_DOUBLE_EQ(rainIncrease(counter, evening + 5, 4.6), 0.6);
    // Past midnight the console starts again from 0: what it shows fell today.
    EXPECT_DOUBLE_EQ(rainIncrease(counter, evening + 15, 0.3), 0.3);
    EXPECT_DOUBLE_EQ(rainIncrease(counter, evening + 20, 0.3), 0.0);
    EXPECT_DOUBLE_EQ(rainIncrease(counter, evening + 25, 1.0), 0.7);
}

TEST(ReportRain, NewDayCountsTheTotalEvenWhenItDidNotDrop)
{
    RainCounter counter;
    const std::int64_t evening = minutesFromCivil({2026, 12, 5, 22, 0});
    rainIncrease(counter, evening, 2.0);
    // A gap over midnight: the 3.0 of the next day all fell after the reset.
    EXPECT_DOUBLE_EQ(rainIncrease(counter, evening + 4 * 60, 3.0), 3.0);
}

TEST(ReportRain, InvalidTotalsAreSkippedNotTakenAsResets)
{
    RainCounter counter;
    const std::int64_t noon = minutesFromCivil({2026, 12, 6, 12, 0});
    rainIncrease(counter, noon, 5.0);
    EXPECT_TRUE(std::isnan(rainIncrease(counter, noon + 5, NO_VALUE)));
    EXPECT_DOUBLE_EQ(rainIncrease(counter, noon + 10, 5.5), 0.5);
}

TEST(ReportRain, BarsSumIncreasesOfTheirHour)
{
    RangeBuckets day = rangeOf(ReportRange::day);
    const std::int64_t hour = minutesFromCivil({2026, 12, 7, 7, 0});
    addToRange(day, emptySample(hour), 0.4);
    addToRange(day, emptySample(hour + 59), 0.2);
    addToRange(day, emptySample(hour + 60), 1.0);
    const int bar = bucketOf(day.bars, hour);
    EXPECT_DOUBLE_EQ(day.rain[static_cast<std::size_t>(bar)], 0.6);
    EXPECT_DOUBLE_EQ(day.rain[static_cast<std::size_t>(bar + 1)], 1.0);
    EXPECT_EQ(day.rainCount[static_cast<std::size_t>(bar - 1)], 0);
}

// ---- today --------------------------------------------------------------------

TEST(ReportToday, ExtremesFromMidnightWithTheFirstTimeReached)
{
    TodayExtremes today;
    initTodayExtremes(today, END);
    const std::int64_t midnight = minutesFromCivil({2026, 12, 7, 0, 0});
    addToToday(today, temperatureSample(midnight - 1, -9.0), 0.0); // yesterday
    addToToday(today, temperatureSample(midnight, 2.0), 0.5);
    addToToday(today, temperatureSample(midnight + 60, 5.0), 0.0);
    addToToday(today, temperatureSample(midnight + 120, 5.0), 0.25);
    addToToday(today, temperatureSample(midnight + 180, 1.0), NO_VALUE);
    addToToday(today, temperatureSample(END + 1, 30.0), 9.0); // after the end
    const int t = static_cast<int>(Charted::outdoorTemp);
    EXPECT_DOUBLE_EQ(today.high[t].value, 5.0);
    EXPECT_EQ(today.high[t].minute, midnight + 60);
    EXPECT_DOUBLE_EQ(today.low[t].value, 1.0);
    EXPECT_EQ(today.low[t].minute, midnight + 180);
    EXPECT_DOUBLE_EQ(today.rain, 0.75);
    EXPECT_FALSE(today.high[static_cast<int>(Charted::dewPoint)].seen);
}

} // namespace
