// One observation as the report charts it: its time and each field as a
// number in the console's units.
#pragma once

#include <cstdint>

#include "readings/station_fields.h"

struct ReportSample {
    std::int64_t minute;               // the console's local time (minutesFromCivil)
    double value[STATION_FIELD_COUNT]; // console units; NaN where absent, invalid, or a text field
};

// The fields the report reads from samples; a caller may leave the others
// NaN (the archive reads only these, which makes a year's page quicker).
constexpr int REPORT_SAMPLE_FIELD_COUNT = 9;
extern const int REPORT_SAMPLE_FIELDS[REPORT_SAMPLE_FIELD_COUNT];

// Readings beyond this size are damaged records, not weather; the report
// treats them as absent so one bad value cannot flatten a chart.
constexpr double REPORT_VALUE_LIMIT = 1e6;

// The value of a field when it is a usable reading, NaN otherwise.
double usableValue(const ReportSample& sample, int field);
