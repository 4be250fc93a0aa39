// What each of the dashboard's fifteen value areas shows: the text, its unit,
// the run of blanks that clears the previous text, and for the wind direction
// the compass picture. Painting itself is the page's; this decides only what
// is drawn, so the rules can be checked without a window.
#pragma once

#include <cstddef>

#include "readings/station_fields.h"
#include "readings/units.h"

// How a value area treats its field. The four that own a field of the
// current observation write their placeholder into it when they find it
// empty, so the dashes stay there until the next record; the channel
// painters only show theirs, because the field belongs to whichever channel
// is selected. Pressure, wind and UV draw nothing for an empty field and
// leave the area as it was.
enum class ValuePainter {
    temperature,        // empty: writes and shows "--.-"
    humidity,           // empty: writes and shows "--"
    channelTemperature, // empty: shows "--.-"
    channelHumidity,    // empty: shows "--"
    pressure,           // empty: nothing drawn
    wind,               // empty: nothing drawn
    rain,               // empty: writes and shows "-.-"
    rainRate,           // empty: writes and shows "-.-"
    centred,            // UV index; empty: nothing drawn; centred, no unit
    direction,          // compass picture, centred text, degree sign
};

constexpr int NO_FIELD = -1;

struct ValueArea {
    int control; // the hidden static whose rectangle is the area
    ValuePainter painter;
    int field; // NO_FIELD where the choices pick it: channel, pressure, direction
};

constexpr int VALUE_AREA_COUNT = 15;

// The fifteen areas in the order they are painted: temperatures and the
// channel first, then pressure, wind, rain, humidities, direction and UV.
extern const ValueArea VALUE_PAINT_ORDER[VALUE_AREA_COUNT];

// Painters draw at most this many characters of a field.
constexpr std::size_t DISPLAY_TEXT_LIMIT = 31;

struct ValueDisplay {
    bool drawn;     // false: nothing at all is drawn, not even the blanks
    int blankCount; // blanks drawn first over the previous text
    bool centred;   // text centred in the area (UV index and direction)
    wchar_t text[DISPLAY_TEXT_LIMIT + 1];
    const wchar_t* unit; // drawn after the text; "" for none
    int compassImage;    // direction: 0 the dial alone, 1..16 the pointer's point
};

// Decides what `area` shows for the current observation, the unit choices
// and the selected channel (held to 1..7). May write a placeholder into
// `fields` as described at ValuePainter; changes nothing else.
//
// Direction: the field is windDirDegrees in degree mode, windDirPoint
// otherwise; an empty one shows "--". The compass points at the sector of
// the text. A degree text holding a dash ("--" from the console) is not a
// bearing and gets the dial alone rather than a pointer at north. The unit
// is the degree sign, only in degree mode and only after a text without a
// dash.
void prepareValueDisplay(const ValueArea& area, StationFields& fields, const UnitSettings& units,
                         int selectedChannel, ValueDisplay& display);
