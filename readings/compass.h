// Wind direction: the sixteen compass points, the sector (compass image
// index 1..16) of a point name or of a bearing, and which field and sign
// the dashboard shows for the chosen direction unit.
#pragma once

#include <cstdint>

#include "readings/station_fields.h"

constexpr int COMPASS_POINT_COUNT = 16;

// "N", "NNE", ... "NNW"; the name of sector i is COMPASS_POINT_NAMES[i - 1].
extern const wchar_t* const COMPASS_POINT_NAMES[COMPASS_POINT_COUNT];

// The sector whose name equals the text exactly (case and length included),
// or -1 for any other text, an empty one or null.
int compassSectorForPoint(const wchar_t* text);

// The sector of a whole bearing, any integer: 11 or less (negative ones
// too) and 349 or more are N; the other bounds are the console's, not exact
// 22.5-degree steps (56 is ENE, 101 ESE, 146 SSE, 236 WSW). 191 falls
// between the console's S (169..190) and SSW (192..213) and is taken as S.
int compassSectorForDegrees(int degrees);

// windDirDegrees for DIRECTION_DEGREES, windDirPoint for any other code:
// the field's index, and its text.
int directionField(std::uint8_t directionUnit);
const wchar_t* directionFieldText(const StationFields& fields, std::uint8_t directionUnit);

// The sector of a direction text in the given unit: the bearing read as a
// whole number (225.5 is 225, no digits is 0) in degrees, the point name
// otherwise. An empty text is the caller's to handle first.
int directionSector(const wchar_t* text, std::uint8_t directionUnit);

// The degree sign follows a direction only in degrees, and only when the
// shown text holds no dash (a placeholder such as "--").
bool directionShowsDegreeSign(std::uint8_t directionUnit, const wchar_t* shownText);
