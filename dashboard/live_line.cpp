#include "dashboard/live_line.h"

#include "dashboard/channel_selection.h"
#include "dashboard/value_display.h"
#include "readings/text_output.h"
#include "resources/resource_ids.h"

namespace {

// The dashboard's value areas by the order of the line, with the label
// each is given there. The two channel areas come last, once per channel.
struct Piece {
    int control;
    const char* label; // null: continues the piece before it
};

const Piece PIECES[] = {
    {IDC_VALUE_INDOOR_TEMP, "indoor"},
    {IDC_VALUE_INDOOR_HUMIDITY, nullptr},
    {IDC_VALUE_OUTDOOR_TEMP, "outdoor"},
    {IDC_VALUE_OUTDOOR_HUMIDITY, nullptr},
    {IDC_VALUE_DEW_POINT, "dew point"},
    {IDC_VALUE_HEAT_INDEX, "heat index"},
    {IDC_VALUE_WIND_SPEED, "wind"},
    {IDC_VALUE_WIND_GUST, "gust"},
    {IDC_VALUE_WIND_DIRECTION, "direction"},
    {IDC_VALUE_DAILY_RAIN, "daily rain"},
    {IDC_VALUE_RAIN_RATE, "rain rate"},
    {IDC_VALUE_PRESSURE, nullptr}, // labelled by the pressure type
    {IDC_VALUE_UV_INDEX, "UV index"},
};

const ValueArea* areaOf(int control)
{
    for (const ValueArea& area : VALUE_PAINT_ORDER)
        if (area.control == control)
            return &area;
    return nullptr;
}

// Signs that sit against their number on the dashboard; words get a space.
bool unitAttaches(const wchar_t* unit)
{
    return unit[0] == L'\u00B0' || unit[0] == L'%';
}

void appendValue(std::string& line, const ValueDisplay& display)
{
    appendUtf8(line, display.text);
    if (display.unit[0] == L'\0')
        return;
    if (!unitAttaches(display.unit))
        line += ' ';
    appendUtf8(line, display.unit);
}

bool showArea(std::string& line, int control, StationFields& fields, const UnitSettings& units, int channel,
              const char* label)
{
    const ValueArea* area = areaOf(control);
    if (!area)
        return false;
    ValueDisplay display{};
    prepareValueDisplay(*area, fields, units, channel, display);
    if (!display.drawn)
        return false;
    if (label) {
        line += "  ";
        line += label;
    }
    line += ' ';
    appendValue(line, display);
    return true;
}

bool holdsReading(const StationFields& fields, int field)
{
    return fieldValueState(fields, field) == ValueState::valid;
}

} // namespace

std::string observationLine(const StationFields& original, const UnitSettings& units)
{
    // The painters write their placeholders into the fields they show.
    StationFields fields = original;
    std::string line;
    appendUtf8(line, fields.text[StationFields::recordDate]);
    line += ' ';
    appendUtf8(line, fields.text[StationFields::recordTime]);
    for (const Piece& piece : PIECES) {
        const char* label = piece.label;
        if (piece.control == IDC_VALUE_PRESSURE)
            label = units.pressureType == PRESSURE_RELATIVE ? "relative pressure" : "absolute pressure";
        showArea(line, piece.control, fields, units, FIRST_CHANNEL, label);
    }
    for (int channel = FIRST_CHANNEL; channel <= LAST_CHANNEL; ++channel) {
        if (!holdsReading(fields, channelTemperatureField(channel))
            && !holdsReading(fields, channelHumidityField(channel)))
            continue;
        std::string title = "CH" + std::to_string(channel);
        showArea(line, IDC_VALUE_CHANNEL_TEMP, fields, units, channel, title.c_str());
        showArea(line, IDC_VALUE_CHANNEL_HUMIDITY, fields, units, channel, nullptr);
    }
    const wchar_t* logger = fields.text[StationFields::loggerPercent];
    if (logger[0] != L'\0') {
        line += "  logger ";
        appendUtf8(line, logger);
        line += '%';
    }
    return line;
}
