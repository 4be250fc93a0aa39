// The date and time of a record as one ISO 8601 local date-time, for the
// Linux program's JSON lines and CSV files.
#pragma once

#include <cstddef>

constexpr std::size_t ISO_TIME_SIZE = 17; // "YYYY-MM-DDTHH:MM" and the zero

// recordDate ("%d-%d-%d", year first) and recordTime ("hh:mm") as
// "YYYY-MM-DDTHH:MM". A two-digit year is taken as 20yy. Returns 1, or 0
// with out empty when either text is not such a date or time (a damaged
// record): month 1..12, day 1..31, hour 0..23, minute 0..59, year 1..9999,
// nothing after the numbers.
int isoRecordTime(const wchar_t* recordDate, const wchar_t* recordTime, char out[ISO_TIME_SIZE]);
