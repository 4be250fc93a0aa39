#include "report/html_text.h"

#include <cmath>

#include "readings/number_text.h"
#include "readings/record_time.h"
#include "readings/text_output.h"

namespace {

const char* const MONTH_NAMES[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const WEEKDAY_NAMES[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

void appendTwoDigits(std::string& out, int value)
{
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

int weekdayOf(std::int64_t minute)
{
    std::int64_t day = minute / MINUTES_PER_DAY;
    if (minute % MINUTES_PER_DAY < 0)
        --day;
    // 1970-01-01 was a Thursday (index 3 from Monday).
    return static_cast<int>(((day + 3) % 7 + 7) % 7);
}

} // namespace

void appendEscaped(std::string& out, const std::string& text)
{
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

void appendEscaped(std::string& out, const wchar_t* text)
{
    std::string utf8;
    appendUtf8(utf8, text);
    appendEscaped(out, utf8);
}

std::string fixedText(double value, int decimals)
{
    wchar_t wide[64];
    formatFixed(value, decimals, wide, 64);
    std::string text;
    appendUtf8(text, wide);
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1);
    return text;
}

void appendCoordinate(std::string& out, double value)
{
    if (!std::isfinite(value))
        value = 0;
    std::int64_t tenths = static_cast<std::int64_t>(std::llround(value * 10.0));
    if (tenths < 0) {
        out += '-';
        tenths = -tenths;
    }
    out += std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        out += '.';
        out += static_cast<char>('0' + tenths % 10);
    }
}

std::string dateTimeText(std::int64_t minute)
{
    const CivilMinute time = civilFromMinutes(minute);
    std::string text = std::to_string(time.year);
    text += '-';
    appendTwoDigits(text, time.month);
    text += '-';
    appendTwoDigits(text, time.day);
    text += ' ';
    text += clockText(minute);
    return text;
}

std::string clockText(std::int64_t minute)
{
    const CivilMinute time = civilFromMinutes(minute);
    std::string text;
    appendTwoDigits(text, time.hour);
    text += ':';
    appendTwoDigits(text, time.minute);
    return text;
}

std::string weekdayDayText(std::int64_t minute)
{
    return std::string(WEEKDAY_NAMES[weekdayOf(minute)]) + " " + std::to_string(civilFromMinutes(minute).day);
}

std::string monthDayText(std::int64_t minute)
{
    const CivilMinute time = civilFromMinutes(minute);
    return monthText(minute) + " " + std::to_string(time.day);
}

std::string monthText(std::int64_t minute)
{
    const int month = civilFromMinutes(minute).month;
    return MONTH_NAMES[(month - 1 + 12) % 12];
}
