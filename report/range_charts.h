// The five charts of one range (temperature and dew point, humidity,
// pressure, wind, rain) from its buckets, in the user's units, and the
// time axis labels of each range.
#pragma once

#include <vector>

#include "readings/units.h"
#include "report/report_buckets.h"
#include "report/svg_chart.h"

constexpr int CHARTS_PER_RANGE = 5;

// A native value (°C, hPa, km/h, mm) in the unit chosen for its quantity,
// with the program's conversion functions; other quantities unchanged.
double convertedValue(Quantity quantity, const UnitSettings& units, double value);

// The time axis: every 4 hours for a day, each midnight for a week, the
// 1st, 6th, 11th... of each month for a month, each month's first for a
// year (January labelled with its year). Only ticks within first..last.
std::vector<TimeTick> timeTicks(ReportRange range, std::int64_t first, std::int64_t last);

std::vector<ChartSpec> rangeCharts(const RangeBuckets& buckets, const UnitSettings& units);
