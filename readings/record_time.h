// The date and time of a record as one ISO 8601 local date-time, for the
// Linux program's JSON lines and CSV files.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t ISO_TIME_SIZE = 17; // "YYYY-MM-DDTHH:MM" and the zero

// recordDate ("%d-%d-%d", year first) and recordTime ("hh:mm") as
// "YYYY-MM-DDTHH:MM". A two-digit year is taken as 20yy. Returns 1, or 0
// with out empty when either text is not such a date or time (a damaged
// record): month 1..12, day 1..31, hour 0..23, minute 0..59, year 1..9999,
// nothing after the numbers.
int isoRecordTime(const wchar_t* recordDate, const wchar_t* recordTime, char out[ISO_TIME_SIZE]);

// A local date-time as minutes since 1970-01-01 00:00 of the same clock, so
// times can be subtracted and bucketed without any time zone. Proleptic
// Gregorian; a day past the month's end runs on into the next month.
struct CivilMinute {
    int year;
    int month;
    int day;
    int hour;
    int minute;
};

constexpr std::int64_t MINUTES_PER_DAY = 1440;

// a / b rounded down (b > 0): the day or bucket of a time before 1970 too.
std::int64_t floorDivide(std::int64_t a, std::int64_t b);

std::int64_t daysFromCivil(int year, int month, int day);
std::int64_t minutesFromCivil(const CivilMinute& time);
CivilMinute civilFromMinutes(std::int64_t minutes);

// Writes "YYYY-MM-DDTHH:MM" (the year taken modulo 10000).
void isoTimeText(const CivilMinute& time, char out[ISO_TIME_SIZE]);

// How far a local date-time (minutes as minutesFromCivil counts them) is
// ahead of UTC, in minutes, by the rules of the zone the caller knows. 0
// when the zone has no such local time (the spring gap) or is unknown.
using UtcOffsetOf = int (*)(std::int64_t localMinutes, int& offsetMinutes);

constexpr std::size_t ISO_ZONED_TIME_SIZE = 26; // "YYYY-MM-DDTHH:MM:SS+hh:mm" and the zero

// An ISO time from isoRecordTime with seconds (":00": the console's times
// are whole minutes) and, when `offsetOf` knows it, the UTC offset of that
// local time, so a reader in another zone places it right. Returns 1, or 0
// with out empty when `iso` is not such a time.
int isoZonedTime(const char* iso, UtcOffsetOf offsetOf, char out[ISO_ZONED_TIME_SIZE]);

// Reads "YYYY-MM-DDTHH:MM" as isoRecordTime writes it. Returns 1, or 0 when
// the text is not exactly that shape with the same ranges.
int isoTimeMinutes(const char* iso, std::int64_t& minutes);
