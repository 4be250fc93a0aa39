// An export asked for on a command line rather than on the export & setup
// page: the dates as "YYYY-MM-DD" texts and the data sets by name. Both end
// in the page's ExportForm, so the same checks and the same messages apply.
#pragma once

#include <cstddef>

#include "export/export_request.h"

constexpr std::size_t DATE_PART_SIZE = 8; // a year, month or day text: 7 characters and the zero

struct DateParts {
    wchar_t year[DATE_PART_SIZE];
    wchar_t month[DATE_PART_SIZE];
    wchar_t day[DATE_PART_SIZE];
};

// Splits "YYYY-MM-DD" at its first two dashes into the three texts the
// page's date edits would hold; a missing part is empty and a part longer
// than 7 characters is cut to 7 (the checks then refuse it: no year,
// month or day is that long). Non-ASCII bytes become '?'.
void splitDateArgument(const char* text, DateParts& parts);

// The data set names of --sets=, in the page's order (ExportForm.dataSets):
// "pressure", "outdoor", "indoor", "dewpoint", "wind", "heatindex",
// "rain", "uv", "ch1" ... "ch7"; and "all".
const char* dataSetName(int index);

// Reads a comma-separated list of those names into sets (all false first).
// Returns 1, or 0 with the first unknown or empty name in `bad` (cut to
// badSize - 1) when there is one.
int parseDataSetList(const char* list, bool sets[DATA_SET_COUNT], char* bad, std::size_t badSize);

// The form of a command-line export: the whole period, or the two dates;
// every data set in `sets`.
ExportForm commandLineExportForm(bool wholePeriod, const DateParts& from, const DateParts& to,
                                 const bool sets[DATA_SET_COUNT]);

// What the page lets through but a command line refuses: a day its month
// does not have (2026-02-31), or a period that ends before it starts.
enum class PeriodCheck { sound, noSuchStartDate, noSuchEndDate, endsBeforeStart };

// Checks an accepted request's two dates; the whole period is always sound.
PeriodCheck checkCommandLinePeriod(const ExportRequest& request);
