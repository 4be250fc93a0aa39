// Text for the report page: HTML escaping of everything that comes from the
// console, and the numbers of the page (values with the dashboard's digits,
// coordinates rounded to a tenth) written without the C runtime's
// formatting, so every build writes the same page.
#pragma once

#include <cstdint>
#include <string>

// Appends text with &, <, >, " and ' escaped, so it is safe in element
// content and in quoted attribute values.
void appendEscaped(std::string& out, const std::string& text);
// The same for a wide text, written as UTF-8 first.
void appendEscaped(std::string& out, const wchar_t* text);

// value with `decimals` digits after the point, as formatFixed writes it;
// "-0.0" becomes "0.0". Never called with a NaN or infinity by the page,
// which shows a dash placeholder for those.
std::string fixedText(double value, int decimals);

// A coordinate rounded to a tenth, without a trailing ".0" (the page
// carries thousands of them).
void appendCoordinate(std::string& out, double value);

// "2026-12-07 09:05", "09:05", "Mon 7", "Dec 7", "Dec" for a minute of the
// console's local time.
std::string dateTimeText(std::int64_t minute);
std::string clockText(std::int64_t minute);
std::string weekdayDayText(std::int64_t minute);
std::string monthDayText(std::int64_t minute);
std::string monthText(std::int64_t minute);
