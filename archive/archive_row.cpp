#include "archive/archive_row.h"

#include <charconv>
#include <cmath>
#include <cstring>


namespace {

bool isTextField(int field)
{
    return field == StationFields::recordDate || field == StationFields::recordTime
        || field == StationFields::windDirPoint;
}

// A whole number text: optional sign, digits, an optional point with
// digits. The console writes nothing else for a reading.
bool isPlainNumber(const wchar_t* text)
{
    const wchar_t* p = text;
    if (*p == L'-' || *p == L'+')
        ++p;
    int digits = 0;
    while (*p >= L'0' && *p <= L'9') {
        ++p;
        ++digits;
    }
    if (*p == L'.') {
        ++p;
        while (*p >= L'0' && *p <= L'9') {
            ++p;
            ++digits;
        }
    }
    return digits > 0 && *p == L'\0';
}

// The console's invalid forms are dashes with at most a point among them.
bool isDashForm(const wchar_t* text)
{
    bool dash = false;
    for (const wchar_t* p = text; *p; ++p) {
        if (*p == L'-')
            dash = true;
        else if (*p != L'.')
            return false;
    }
    return dash;
}

// The number as the nearest double, so 3.2 is stored as 3.2 and not as
// the float the dashboard reads (3.2000000476...). The text is a plain
// number already.
double decimalValue(const wchar_t* text)
{
    char ascii[STATION_FIELD_SIZE];
    std::size_t n = 0;
    for (; text[n] && n + 1 < sizeof ascii; ++n)
        ascii[n] = static_cast<char>(text[n]);
    const char* start = ascii[0] == '+' ? ascii + 1 : ascii;
    double value = NAN;
    std::from_chars(start, ascii + n, value);
    return value;
}

RowVerdict refuse(const char* why, const char*& reason)
{
    reason = why;
    return RowVerdict::malformed;
}

} // namespace

RowVerdict readArchiveRow(const char* text, std::size_t maxBytes, ArchiveRow& row, const char*& reason)
{
    reason = "";
    row = ArchiveRow{};
    std::size_t length = 0;
    while (length < maxBytes && text[length] != '\0')
        ++length;
    if (length == 0)
        return RowVerdict::empty;
    if (length >= STATION_RECORD_SIZE)
        return refuse("longer than a record", reason);
    std::size_t values = 1;
    for (std::size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c > 0x7E)
            return refuse("a byte outside printable ASCII", reason);
        if (c == ' ') {
            if (i == 0 || i + 1 == length || text[i + 1] == ' ')
                return refuse("an empty value", reason);
            ++values;
        }
    }
    if (values != STATION_FIELD_COUNT)
        return refuse("not 36 values", reason);
    static thread_local StationFields fields;
    parseStationRecord(text, length, fields);
    if (!isoRecordTime(fields.text[StationFields::recordDate], fields.text[StationFields::recordTime], row.time)
        || !isoTimeMinutes(row.time, row.minute))
        return refuse("no readable date and time", reason);
    for (int f = 0; f < static_cast<int>(STATION_FIELD_COUNT); ++f) {
        row.value[f] = NAN;
        if (isTextField(f))
            continue;
        const wchar_t* value = fields.text[f];
        if (isDashForm(value))
            continue;
        if (!isPlainNumber(value))
            return refuse("a value that is not a number", reason);
        if (fieldValueState(fields, f) == ValueState::valid)
            row.value[f] = decimalValue(value);
    }
    const wchar_t* point = fields.text[StationFields::windDirPoint];
    if (fieldValueState(fields, StationFields::windDirPoint) == ValueState::valid && !isDashForm(point)) {
        std::size_t n = 0;
        for (; point[n] && n + 1 < sizeof row.windDirPoint; ++n)
            row.windDirPoint[n] = static_cast<char>(point[n]);
        row.windDirPoint[n] = '\0';
    }
    row.line = text;
    row.lineLength = length;
    return RowVerdict::accepted;
}

int recordFromLine(const char* line, std::size_t length, StationRecord& record)
{
    if (length >= STATION_RECORD_SIZE)
        return 0;
    std::memcpy(record.text, line, length);
    std::memset(record.text + length, 0, STATION_RECORD_SIZE - length);
    return 1;
}
