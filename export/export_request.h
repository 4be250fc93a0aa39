// What an export asks for: the period and the data sets taken from the
// export & setup page when the user presses Export, the checks those
// entries must pass, and the date comparison that decides which records
// belong to the period.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int CHANNEL_COUNT = 7;
constexpr int DATA_SET_COUNT = 15; // check boxes 1217..1231, Whole period aside

// Each flag is 1 when its check box was checked when the request was
// accepted, else 0.
struct DataSetSelection {
    std::uint32_t wholePeriod; // 1216
    std::uint32_t pressureSet; // 1217
    std::uint32_t outdoorSet;  // 1218
    std::uint32_t indoorSet;   // 1219
    std::uint32_t dewPointSet; // 1220
    std::uint32_t windSet;     // 1221
    std::uint32_t heatIndexSet; // 1222
    std::uint32_t rainSet;     // 1223
    std::uint32_t uvSet;       // 1224
    std::uint32_t channelSet[CHANNEL_COUNT]; // 1225..1231, CH1 first
};

// Room for a date text: 63 characters and a terminator.
constexpr std::size_t EXPORT_DATE_SIZE = 64;

struct ExportRequest {
    DataSetSelection dataSets;
    // Year, "-", month, "-", day, exactly as typed ("2018-05-3"). Not set
    // when the whole period is asked for.
    wchar_t exportStartDate[EXPORT_DATE_SIZE];
    wchar_t exportEndDate[EXPORT_DATE_SIZE];
};

// The page's entries as plain values: the six date texts and the sixteen
// check boxes.
struct ExportForm {
    bool wholePeriod;
    const wchar_t* startYear;
    const wchar_t* startMonth;
    const wchar_t* startDay;
    const wchar_t* endYear;
    const wchar_t* endMonth;
    const wchar_t* endDay;
    bool dataSets[DATA_SET_COUNT]; // 1217..1231 in id order
};

enum class ExportCheck { accepted, yearError, monthError, dayError };

// Checks the form in the order the user reads it and stops at the first
// fault. With wholePeriod the date texts are not looked at (they may be
// null). Otherwise: start year at least 4 characters long (its value does
// not matter), start month 1..12, start day 1..31, then end year at least
// 2017 by value, end month, end day; the day is not checked against the
// month and the dates not against each other. Numbers are read like wcstol
// reads them, so an empty or non-numeric text is 0.
// Only an accepted form fills `request` (dates cut to 63 characters).
ExportCheck checkExportRequest(const ExportForm& form, ExportRequest& request);

// "Year input error !", "Month input error !", "Day input error !"; null for
// accepted.
const wchar_t* exportCheckMessage(ExportCheck check);

// Compares two year-month-day texts read as "%d-%d-%d" reads them, each as
// year x 10000 + month x 100 + day: 2 when the first is later, 1 when it is
// earlier, 0 when equal, and -1 when either text does not hold three such
// numbers (a damaged record date), which no period includes.
int compareDates(const wchar_t* first, const wchar_t* second);

// Whether a record of `recordDate` is exported: always with wholePeriod,
// else when it lies from the start date to the end date, both included.
bool recordInPeriod(const wchar_t* recordDate, const ExportRequest& request);

// The save dialog's name check: the last four characters are ".csv" or
// ".xls" in any letter case.
bool hasExportExtension(const wchar_t* name);
