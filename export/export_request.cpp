#include "export/export_request.h"

#include <cwchar>

#include "readings/number_text.h"

namespace {

constexpr int YEAR_MIN_LENGTH = 4;
constexpr int END_YEAR_MIN = 2017;

bool inRange(const wchar_t* text, int low, int high)
{
    const int value = readWholeNumber(text);
    return value >= low && value <= high;
}

void buildDate(const wchar_t* year, const wchar_t* month, const wchar_t* day, wchar_t* out)
{
    std::size_t length = 0;
    const wchar_t* parts[] = {year, L"-", month, L"-", day};
    for (const wchar_t* part : parts)
        for (const wchar_t* p = part; *p != L'\0' && length + 1 < EXPORT_DATE_SIZE; ++p)
            out[length++] = *p;
    out[length] = L'\0';
}

bool isSpace(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

// One "%d": white space, an optional sign, at least one digit. Digits past
// what any date holds are read but kept from overflowing.
bool readNumber(const wchar_t*& p, long long& value)
{
    while (isSpace(*p))
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    if (*p < L'0' || *p > L'9')
        return false;
    constexpr long long LIMIT = 1000000000000LL;
    long long magnitude = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p)
        if (magnitude < LIMIT)
            magnitude = magnitude * 10 + (*p - L'0');
    value = negative ? -magnitude : magnitude;
    return true;
}

bool readDate(const wchar_t* text, long long& date)
{
    if (text == nullptr)
        return false;
    const wchar_t* p = text;
    long long year = 0;
    long long month = 0;
    long long day = 0;
    if (!readNumber(p, year) || *p++ != L'-' || !readNumber(p, month) || *p++ != L'-'
        || !readNumber(p, day))
        return false;
    date = year * 10000 + month * 100 + day;
    return true;
}

wchar_t asciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool endsWith(const wchar_t* name, std::size_t length, const wchar_t* suffix)
{
    const std::size_t suffixLength = std::wcslen(suffix);
    if (length < suffixLength)
        return false;
    const wchar_t* tail = name + length - suffixLength;
    for (std::size_t i = 0; i < suffixLength; ++i)
        if (asciiLower(tail[i]) != suffix[i])
            return false;
    return true;
}

const wchar_t* orEmpty(const wchar_t* text)
{
    return text != nullptr ? text : L"";
}

} // namespace

ExportCheck checkExportRequest(const ExportForm& form, ExportRequest& request)
{
    ExportRequest accepted = request;
    if (!form.wholePeriod) {
        const wchar_t* startYear = orEmpty(form.startYear);
        const wchar_t* startMonth = orEmpty(form.startMonth);
        const wchar_t* startDay = orEmpty(form.startDay);
        const wchar_t* endYear = orEmpty(form.endYear);
        const wchar_t* endMonth = orEmpty(form.endMonth);
        const wchar_t* endDay = orEmpty(form.endDay);
        if (std::wcslen(startYear) < YEAR_MIN_LENGTH)
            return ExportCheck::yearError;
        if (!inRange(startMonth, 1, 12))
            return ExportCheck::monthError;
        if (!inRange(startDay, 1, 31))
            return ExportCheck::dayError;
        buildDate(startYear, startMonth, startDay, accepted.exportStartDate);

        if (readWholeNumber(endYear) < END_YEAR_MIN)
            return ExportCheck::yearError;
        if (!inRange(endMonth, 1, 12))
            return ExportCheck::monthError;
        if (!inRange(endDay, 1, 31))
            return ExportCheck::dayError;
        buildDate(endYear, endMonth, endDay, accepted.exportEndDate);
    }

    DataSetSelection& sets = accepted.dataSets;
    sets.wholePeriod = form.wholePeriod ? 1 : 0;
    std::uint32_t* flags[DATA_SET_COUNT] = {
        &sets.pressureSet, &sets.outdoorSet, &sets.indoorSet, &sets.dewPointSet,
        &sets.windSet,     &sets.heatIndexSet, &sets.rainSet, &sets.uvSet,
    };
    for (int k = 0; k < CHANNEL_COUNT; ++k)
        flags[8 + k] = &sets.channelSet[k];
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        *flags[i] = form.dataSets[i] ? 1 : 0;
    request = accepted;
    return ExportCheck::accepted;
}

const wchar_t* exportCheckMessage(ExportCheck check)
{
    switch (check) {
    case ExportCheck::yearError:
        return L"Year input error !";
    case ExportCheck::monthError:
        return L"Month input error !";
    case ExportCheck::dayError:
        return L"Day input error !";
    default:
        return nullptr;
    }
}

int compareDates(const wchar_t* first, const wchar_t* second)
{
    long long a = 0;
    long long b = 0;
    if (!readDate(first, a) || !readDate(second, b))
        return -1;
    if (a > b)
        return 2;
    return a < b ? 1 : 0;
}

bool recordInPeriod(const wchar_t* recordDate, const ExportRequest& request)
{
    if (request.dataSets.wholePeriod != 0)
        return true;
    const int fromStart = compareDates(recordDate, request.exportStartDate);
    const int toEnd = compareDates(recordDate, request.exportEndDate);
    return (fromStart == 0 || fromStart == 2) && (toEnd == 0 || toEnd == 1);
}

bool hasExportExtension(const wchar_t* name)
{
    if (name == nullptr)
        return false;
    const std::size_t length = std::wcslen(name);
    return endsWith(name, length, L".csv") || endsWith(name, length, L".xls");
}
