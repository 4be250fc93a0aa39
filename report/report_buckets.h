// The four chart ranges and their time buckets. Each range keeps a fixed
// number of buckets (min, max, sum and count of each charted quantity, the
// summed wind direction, the rain), so memory does not grow with the
// number of samples.
#pragma once

#include <cstdint>
#include <vector>

#include "report/report_sample.h"

enum class ReportRange { day, week, month, year };
constexpr int REPORT_RANGE_COUNT = 4;

// The quantities drawn as lines, and the field each comes from.
enum class Charted { outdoorTemp, dewPoint, humidity, relPressure, absPressure, windSpeed, windGust };
constexpr int CHARTED_COUNT = 7;
extern const int CHARTED_FIELDS[CHARTED_COUNT];

struct RangeLayout {
    const char* id;        // the section's anchor
    const char* name;      // "Day", for the navigation
    const char* title;     // "Last 24 hours"
    std::int64_t span;     // minutes before the end
    std::int64_t lineWidth; // minutes per line bucket
    std::int64_t barWidth;  // minutes per rain bar
    std::int64_t barPhase;  // bar buckets start at barPhase modulo barWidth
    bool band;             // draw the min-max band behind the mean
};
extern const RangeLayout RANGE_LAYOUTS[REPORT_RANGE_COUNT];

// Buckets of equal width aligned to the clock (origin is a multiple of the
// width plus the phase); the last one holds the end minute.
struct TimeGrid {
    std::int64_t origin;
    std::int64_t width;
    int count;
};

TimeGrid timeGrid(std::int64_t endMinute, std::int64_t span, std::int64_t width, std::int64_t phase);
// The bucket holding minute, or -1 outside the grid.
int bucketOf(const TimeGrid& grid, std::int64_t minute);
std::int64_t bucketStart(const TimeGrid& grid, int bucket);

struct BucketStats {
    double min;
    double max;
    double sum;
    int count;
};

void addToStats(BucketStats& stats, double value);

// Unit vectors of the wind direction, summed: their mean points the way
// the wind mostly came from, and 350° with 10° gives north, not south.
struct DirectionSum {
    double east;
    double north;
    int count;
};

// The mean bearing in degrees 0..360, or NaN when there is none (no
// sample, or directions that cancel out).
double meanDirection(const DirectionSum& sum);

struct RangeBuckets {
    ReportRange range;
    std::int64_t first; // the oldest minute charted
    std::int64_t last;  // the end minute
    TimeGrid lines;
    TimeGrid bars;
    std::vector<BucketStats> stats; // lines.count * CHARTED_COUNT
    std::vector<DirectionSum> direction;
    std::vector<double> rain;
    std::vector<int> rainCount;
};

void initRangeBuckets(RangeBuckets& buckets, ReportRange range, std::int64_t endMinute);
const BucketStats& bucketStats(const RangeBuckets& buckets, int bucket, Charted quantity);

// A sample of the range's time (first..last) goes into its buckets;
// others are left out. rainIncrease is the rain since the sample before
// (NaN: unknown).
void addToRange(RangeBuckets& buckets, const ReportSample& sample, double rainIncrease);

// The rain between consecutive samples from their dailyRain totals. The
// console resets the total at midnight, so a new day or a drop counts the
// new total itself; the first sample has nothing to compare with and
// counts nothing.
struct RainCounter {
    bool seen = false;
    double previous = 0;
    std::int64_t previousDay = 0;
};

// The increase up to this sample's dailyRain, or NaN when it has none.
double rainIncrease(RainCounter& counter, std::int64_t minute, double dailyRain);
