// One observation as the report charts it: its time and each field as a
// number in the console's units.
#pragma once

#include <cstdint>

#include "readings/station_fields.h"

struct ReportSample {
    std::int64_t minute;               // the console's local time (minutesFromCivil)
    double value[STATION_FIELD_COUNT]; // console units; NaN where absent, invalid, or a text field
};

// Readings beyond this size are damaged records, not weather; the report
// treats them as absent so one bad value cannot flatten a chart.
constexpr double REPORT_VALUE_LIMIT = 1e6;

// The value of a field when it is a usable reading, NaN otherwise.
double usableValue(const ReportSample& sample, int field);
