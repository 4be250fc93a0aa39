#include "upload/request_text.h"

#include <cmath>

#include "readings/number_text.h"
#include "readings/record_time.h"

namespace {

constexpr double LARGEST_READING = 1e9;
constexpr std::int64_t LAST_SECOND_OF_9999 = 253402300799;

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

} // namespace

double readingOf(const ArchivedObservation& observation, int field)
{
    if (field < 0 || field >= static_cast<int>(STATION_FIELD_COUNT))
        return NAN;
    const double value = observation.value[field];
    return std::isfinite(value) && std::fabs(value) <= LARGEST_READING ? value : NAN;
}

bool appendFixed(std::string& out, double value, int decimals)
{
    if (!std::isfinite(value) || std::fabs(value) > LARGEST_READING)
        return false;
    wchar_t text[48];
    const std::size_t length = formatFixed(value, decimals, text, sizeof text / sizeof text[0]);
    if (length == 0)
        return false;
    for (std::size_t i = 0; i < length; ++i)
        out += static_cast<char>(text[i]);
    return true;
}

void appendWhole(std::string& out, long long value, int width)
{
    // Digits from the last; the magnitude as unsigned, so the most negative value has one too.
    unsigned long long magnitude = value < 0 ? 0ULL - static_cast<unsigned long long>(value) : value;
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0)
        out += '-';
    for (int i = n; i < width && i < 20; ++i)
        out += '0';
    while (n > 0)
        out += digits[--n];
}

void appendQueryEscaped(std::string& out, std::string_view value)
{
    static const char HEX[] = "0123456789ABCDEF";
    for (const char byte : value) {
        const auto c = static_cast<unsigned char>(byte);
        if (isUnreserved(c)) {
            out += byte;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += HEX[c >> 4];
            out += HEX[c & 0x0F];
        }
    }
}

void QueryText::startField(const char* name)
{
    if (!text_.empty())
        text_ += '&';
    text_ += name;
    text_ += '=';
}

void QueryText::add(const char* name, std::string_view value)
{
    startField(name);
    appendQueryEscaped(text_, value);
}

void QueryText::addNumber(const char* name, double value, int decimals)
{
    std::string number;
    if (!appendFixed(number, value, decimals))
        return;
    startField(name);
    text_ += number; // digits, '-' and '.' need no escaping
}

std::string urlWithQuery(const std::string& endpoint, const std::string& query)
{
    std::string url = endpoint;
    if (!query.empty()) {
        url += endpoint.find('?') == std::string::npos ? '?' : '&';
        url += query;
    }
    return url;
}

UtcTime utcTimeOf(std::int64_t utcSecond)
{
    if (utcSecond < 0)
        utcSecond = 0;
    if (utcSecond > LAST_SECOND_OF_9999)
        utcSecond = LAST_SECOND_OF_9999;
    const std::int64_t minutes = utcSecond / 60;
    const CivilMinute civil = civilFromMinutes(minutes);
    return {civil.year, civil.month, civil.day, civil.hour, civil.minute, static_cast<int>(utcSecond - minutes * 60)};
}

std::string utcDateTimeText(std::int64_t utcSecond, char separator)
{
    const UtcTime t = utcTimeOf(utcSecond);
    std::string text;
    appendWhole(text, t.year, 4);
    text += '-';
    appendWhole(text, t.month, 2);
    text += '-';
    appendWhole(text, t.day, 2);
    text += separator;
    appendWhole(text, t.hour, 2);
    text += ':';
    appendWhole(text, t.minute, 2);
    text += ':';
    appendWhole(text, t.second, 2);
    return text;
}
