#include "readings/record_time.h"


namespace {

// Up to `maxDigits` decimal digits, at least one; false on anything else.
bool readNumber(const wchar_t*& p, int maxDigits, int& value)
{
    value = 0;
    int digits = 0;
    while (*p >= L'0' && *p <= L'9') {
        if (++digits > maxDigits)
            return false;
        value = value * 10 + static_cast<int>(*p - L'0');
        ++p;
    }
    return digits > 0;
}

// `count` digits of value, leading zeros included.
char* putDigits(char* out, int value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return out + count;
}

bool expect(const wchar_t*& p, wchar_t c)
{
    if (*p != c)
        return false;
    ++p;
    return true;
}

} // namespace

int isoRecordTime(const wchar_t* recordDate, const wchar_t* recordTime, char out[ISO_TIME_SIZE])
{
    out[0] = '\0';
    if (!recordDate || !recordTime)
        return 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    const wchar_t* d = recordDate;
    if (!readNumber(d, 4, year) || !expect(d, L'-') || !readNumber(d, 2, month) || !expect(d, L'-')
        || !readNumber(d, 2, day) || *d != L'\0')
        return 0;
    const wchar_t* t = recordTime;
    if (!readNumber(t, 2, hour) || !expect(t, L':') || !readNumber(t, 2, minute) || *t != L'\0')
        return 0;
    if (year < 100)
        year += 2000;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
        return 0;
    isoTimeText(CivilMinute{year, month, day, hour, minute}, out);
    return 1;
}

void isoTimeText(const CivilMinute& time, char out[ISO_TIME_SIZE])
{
    char* p = putDigits(out, time.year % 10000, 4);
    *p++ = '-';
    p = putDigits(p, time.month, 2);
    *p++ = '-';
    p = putDigits(p, time.day, 2);
    *p++ = 'T';
    p = putDigits(p, time.hour, 2);
    *p++ = ':';
    p = putDigits(p, time.minute, 2);
    *p = '\0';
}

int isoZonedTime(const char* iso, UtcOffsetOf offsetOf, char out[ISO_ZONED_TIME_SIZE])
{
    out[0] = '\0';
    std::int64_t minutes = 0;
    if (!iso || !isoTimeMinutes(iso, minutes))
        return 0;
    isoTimeText(civilFromMinutes(minutes), out);
    char* p = out + ISO_TIME_SIZE - 1;
    *p++ = ':';
    *p++ = '0';
    *p++ = '0';
    int offset = 0;
    // An offset beyond any zone's (±18 h) is no offset at all.
    if (offsetOf && offsetOf(minutes, offset) && offset > -18 * 60 && offset < 18 * 60) {
        *p++ = offset < 0 ? '-' : '+';
        const int size = offset < 0 ? -offset : offset;
        p = putDigits(p, size / 60, 2);
        *p++ = ':';
        p = putDigits(p, size % 60, 2);
    }
    *p = '\0';
    return 1;
}

namespace {

void civilFromDays(std::int64_t z, int& year, int& month, int& day)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int isoField(const char* text, int count, int& value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        value = value * 10 + (text[i] - '0');
    }
    return 1;
}

} // namespace

std::int64_t daysFromCivil(int y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::int64_t floorDivide(std::int64_t a, std::int64_t b)
{
    std::int64_t q = a / b;
    if (a % b != 0 && a < 0)
        --q;
    return q;
}

std::int64_t minutesFromCivil(const CivilMinute& t)
{
    return daysFromCivil(t.year, t.month, t.day) * MINUTES_PER_DAY + t.hour * 60 + t.minute;
}

CivilMinute civilFromMinutes(std::int64_t minutes)
{
    const std::int64_t day = floorDivide(minutes, MINUTES_PER_DAY);
    const auto rest = static_cast<int>(minutes - day * MINUTES_PER_DAY);
    CivilMinute t{};
    civilFromDays(day, t.year, t.month, t.day);
    t.hour = rest / 60;
    t.minute = rest % 60;
    return t;
}

int isoTimeMinutes(const char* iso, std::int64_t& minutes)
{
    CivilMinute t{};
    if (!iso || !isoField(iso, 4, t.year) || iso[4] != '-' || !isoField(iso + 5, 2, t.month) || iso[7] != '-'
        || !isoField(iso + 8, 2, t.day) || iso[10] != 'T' || !isoField(iso + 11, 2, t.hour) || iso[13] != ':'
        || !isoField(iso + 14, 2, t.minute) || iso[16] != '\0')
        return 0;
    if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59)
        return 0;
    minutes = minutesFromCivil(t);
    return 1;
}
