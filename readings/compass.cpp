#include "readings/compass.h"

#include <cwchar>

#include "readings/number_text.h"
#include "readings/units.h"

const wchar_t* const COMPASS_POINT_NAMES[COMPASS_POINT_COUNT] = {
    L"N", L"NNE", L"NE", L"ENE", L"E", L"ESE", L"SE", L"SSE",
    L"S", L"SSW", L"SW", L"WSW", L"W", L"WNW", L"NW", L"NNW",
};

namespace {

// Highest bearing of sectors 1..16, from 0 upward; 349 and above wrap to N.
constexpr int SECTOR_LAST_DEGREE[COMPASS_POINT_COUNT] = {
    11, 33, 55, 78, 100, 123, 145, 168, 191, 213, 235, 258, 280, 303, 325, 348,
};

} // namespace

int compassSectorForPoint(const wchar_t* text)
{
    if (text == nullptr)
        return -1;
    for (int i = 0; i < COMPASS_POINT_COUNT; ++i) {
        if (std::wcscmp(text, COMPASS_POINT_NAMES[i]) == 0)
            return i + 1;
    }
    return -1;
}

int compassSectorForDegrees(int degrees)
{
    for (int i = 0; i < COMPASS_POINT_COUNT; ++i) {
        if (degrees <= SECTOR_LAST_DEGREE[i])
            return i + 1;
    }
    return 1;
}

int directionField(std::uint8_t directionUnit)
{
    return directionUnit == DIRECTION_DEGREES ? StationFields::windDirDegrees : StationFields::windDirPoint;
}

const wchar_t* directionFieldText(const StationFields& fields, std::uint8_t directionUnit)
{
    return fields.text[directionField(directionUnit)];
}

int directionSector(const wchar_t* text, std::uint8_t directionUnit)
{
    if (directionUnit == DIRECTION_DEGREES)
        return compassSectorForDegrees(readWholeNumber(text));
    return compassSectorForPoint(text);
}

bool directionShowsDegreeSign(std::uint8_t directionUnit, const wchar_t* shownText)
{
    return directionUnit == DIRECTION_DEGREES && shownText != nullptr
        && std::wcschr(shownText, L'-') == nullptr;
}
