#include "export/export_options.h"

#include <cstring>
#include <cwchar>

#include "readings/record_time.h"

namespace {

const char* const DATA_SET_NAMES[DATA_SET_COUNT] = {
    "pressure", "outdoor", "indoor", "dewpoint", "wind", "heatindex", "rain", "uv",
    "ch1",      "ch2",     "ch3",    "ch4",      "ch5",  "ch6",       "ch7",
};

// Copies text[0..length) into part, cut to its room.
void copyPart(const char* text, std::size_t length, wchar_t (&part)[DATE_PART_SIZE])
{
    std::size_t n = 0;
    for (; n < length && n + 1 < DATE_PART_SIZE; ++n) {
        const unsigned char c = static_cast<unsigned char>(text[n]);
        part[n] = c < 0x80 ? static_cast<wchar_t>(c) : L'?';
    }
    part[n] = L'\0';
}

} // namespace

void splitDateArgument(const char* text, DateParts& parts)
{
    parts = DateParts{};
    if (!text)
        return;
    const char* firstDash = std::strchr(text, '-');
    if (!firstDash) {
        copyPart(text, std::strlen(text), parts.year);
        return;
    }
    copyPart(text, static_cast<std::size_t>(firstDash - text), parts.year);
    const char* month = firstDash + 1;
    const char* secondDash = std::strchr(month, '-');
    if (!secondDash) {
        copyPart(month, std::strlen(month), parts.month);
        return;
    }
    copyPart(month, static_cast<std::size_t>(secondDash - month), parts.month);
    copyPart(secondDash + 1, std::strlen(secondDash + 1), parts.day);
}

const char* dataSetName(int index)
{
    return index >= 0 && index < DATA_SET_COUNT ? DATA_SET_NAMES[index] : nullptr;
}

int parseDataSetList(const char* list, bool sets[DATA_SET_COUNT], char* bad, std::size_t badSize)
{
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        sets[i] = false;
    if (bad && badSize > 0)
        bad[0] = '\0';
    const char* p = list ? list : "";
    for (;;) {
        const char* end = std::strchr(p, ',');
        const std::size_t length = end ? static_cast<std::size_t>(end - p) : std::strlen(p);
        bool known = false;
        if (length == 3 && std::strncmp(p, "all", 3) == 0) {
            for (int i = 0; i < DATA_SET_COUNT; ++i)
                sets[i] = true;
            known = true;
        }
        for (int i = 0; i < DATA_SET_COUNT && !known; ++i) {
            if (std::strlen(DATA_SET_NAMES[i]) == length && std::strncmp(p, DATA_SET_NAMES[i], length) == 0) {
                sets[i] = true;
                known = true;
            }
        }
        if (!known) {
            if (bad && badSize > 0) {
                const std::size_t n = length < badSize - 1 ? length : badSize - 1;
                std::memcpy(bad, p, n);
                bad[n] = '\0';
            }
            return 0;
        }
        if (!end)
            return 1;
        p = end + 1;
    }
}

ExportForm commandLineExportForm(bool wholePeriod, const DateParts& from, const DateParts& to,
                                 const bool sets[DATA_SET_COUNT])
{
    ExportForm form{};
    form.wholePeriod = wholePeriod;
    form.startYear = from.year;
    form.startMonth = from.month;
    form.startDay = from.day;
    form.endYear = to.year;
    form.endMonth = to.month;
    form.endDay = to.day;
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        form.dataSets[i] = sets[i];
    return form;
}

namespace {

// A "%d-%d-%d" date that names a day of the calendar: it survives the trip
// through the day count unchanged.
bool isCalendarDate(const wchar_t* text)
{
    int year = 0, month = 0, day = 0;
    if (std::swscanf(text, L"%d-%d-%d", &year, &month, &day) != 3 || month < 1 || month > 12 || day < 1)
        return false;
    const CivilMinute back = civilFromMinutes(daysFromCivil(year, month, day) * MINUTES_PER_DAY);
    return back.year == year && back.month == month && back.day == day;
}

} // namespace

PeriodCheck checkCommandLinePeriod(const ExportRequest& request)
{
    if (request.dataSets.wholePeriod)
        return PeriodCheck::sound;
    if (!isCalendarDate(request.exportStartDate))
        return PeriodCheck::noSuchStartDate;
    if (!isCalendarDate(request.exportEndDate))
        return PeriodCheck::noSuchEndDate;
    if (compareDates(request.exportStartDate, request.exportEndDate) == 2)
        return PeriodCheck::endsBeforeStart;
    return PeriodCheck::sound;
}
