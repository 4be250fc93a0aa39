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
    char* p = putDigits(out, year, 4);
    *p++ = '-';
    p = putDigits(p, month, 2);
    *p++ = '-';
    p = putDigits(p, day, 2);
    *p++ = 'T';
    p = putDigits(p, hour, 2);
    *p++ = ':';
    p = putDigits(p, minute, 2);
    *p = '\0';
    return 1;
}
