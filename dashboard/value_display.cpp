#include "dashboard/value_display.h"

#include <cwchar>

#include "dashboard/channel_selection.h"
#include "readings/compass.h"
#include "resources/resource_ids.h"

const ValueArea VALUE_PAINT_ORDER[VALUE_AREA_COUNT] = {
    {IDC_VALUE_INDOOR_TEMP, ValuePainter::temperature, StationFields::indoorTemp},
    {IDC_VALUE_OUTDOOR_TEMP, ValuePainter::temperature, StationFields::outdoorTemp},
    {IDC_VALUE_CHANNEL_TEMP, ValuePainter::channelTemperature, NO_FIELD},
    {IDC_VALUE_CHANNEL_HUMIDITY, ValuePainter::channelHumidity, NO_FIELD},
    {IDC_VALUE_DEW_POINT, ValuePainter::temperature, StationFields::dewPoint},
    {IDC_VALUE_HEAT_INDEX, ValuePainter::temperature, StationFields::heatIndex},
    {IDC_VALUE_PRESSURE, ValuePainter::pressure, NO_FIELD},
    {IDC_VALUE_WIND_SPEED, ValuePainter::wind, StationFields::windSpeed},
    {IDC_VALUE_WIND_GUST, ValuePainter::wind, StationFields::windGust},
    {IDC_VALUE_DAILY_RAIN, ValuePainter::rain, StationFields::dailyRain},
    {IDC_VALUE_RAIN_RATE, ValuePainter::rainRate, StationFields::rainRate},
    {IDC_VALUE_INDOOR_HUMIDITY, ValuePainter::humidity, StationFields::indoorHumidity},
    {IDC_VALUE_OUTDOOR_HUMIDITY, ValuePainter::humidity, StationFields::outdoorHumidity},
    {IDC_VALUE_WIND_DIRECTION, ValuePainter::direction, NO_FIELD},
    {IDC_VALUE_UV_INDEX, ValuePainter::centred, StationFields::uvIndex},
};

namespace {

// Wide enough to clear the widest text each area has held.
constexpr int VALUE_BLANKS = 29;
constexpr int RAIN_RATE_BLANKS = 32;
constexpr int CHANNEL_HUMIDITY_BLANKS = 33;
constexpr int DIRECTION_BLANKS = 49;
constexpr int UV_BLANKS = 13;

constexpr const wchar_t* TEMPERATURE_PLACEHOLDER = L"--.-";
constexpr const wchar_t* PERCENT_PLACEHOLDER = L"--";
constexpr const wchar_t* RAIN_PLACEHOLDER = L"-.-";

struct Rule {
    Quantity quantity;
    int blanks;
    // Empty field: the placeholder shown, or null when nothing is drawn.
    const wchar_t* placeholder;
    // Whether that placeholder is also written into the field.
    bool storesPlaceholder;
};

Rule ruleFor(ValuePainter painter)
{
    switch (painter) {
    case ValuePainter::temperature:
        return {Quantity::temperature, VALUE_BLANKS, TEMPERATURE_PLACEHOLDER, true};
    case ValuePainter::humidity:
        return {Quantity::percent, VALUE_BLANKS, PERCENT_PLACEHOLDER, true};
    case ValuePainter::channelTemperature:
        return {Quantity::temperature, VALUE_BLANKS, TEMPERATURE_PLACEHOLDER, false};
    case ValuePainter::channelHumidity:
        return {Quantity::percent, CHANNEL_HUMIDITY_BLANKS, PERCENT_PLACEHOLDER, false};
    case ValuePainter::pressure:
        return {Quantity::pressure, VALUE_BLANKS, nullptr, false};
    case ValuePainter::wind:
        return {Quantity::wind, VALUE_BLANKS, nullptr, false};
    case ValuePainter::rain:
        return {Quantity::rain, VALUE_BLANKS, RAIN_PLACEHOLDER, true};
    case ValuePainter::rainRate:
        return {Quantity::rainRate, RAIN_RATE_BLANKS, RAIN_PLACEHOLDER, true};
    case ValuePainter::centred:
        return {Quantity::uvIndex, UV_BLANKS, nullptr, false};
    case ValuePainter::direction:
        break;
    }
    return {Quantity::text, DIRECTION_BLANKS, PERCENT_PLACEHOLDER, false};
}

int fieldOf(const ValueArea& area, const UnitSettings& units, int channel)
{
    switch (area.painter) {
    case ValuePainter::channelTemperature:
        return channelTemperatureField(channel);
    case ValuePainter::channelHumidity:
        return channelHumidityField(channel);
    case ValuePainter::pressure:
        return pressureField(units.pressureType);
    case ValuePainter::direction:
        return units.directionUnit == DIRECTION_DEGREES ? StationFields::windDirDegrees
                                                        : StationFields::windDirPoint;
    default:
        return area.field;
    }
}

// Copies at most DISPLAY_TEXT_LIMIT characters.
void setText(ValueDisplay& display, const wchar_t* text)
{
    std::size_t n = 0;
    while (n < DISPLAY_TEXT_LIMIT && text[n] != L'\0') {
        display.text[n] = text[n];
        ++n;
    }
    display.text[n] = L'\0';
}

void prepareDirection(const wchar_t* fieldText, const UnitSettings& units, ValueDisplay& display)
{
    const bool degrees = units.directionUnit == DIRECTION_DEGREES;
    display.drawn = true;
    display.centred = true;
    display.compassImage = 0;
    if (fieldText[0] == L'\0') {
        setText(display, PERCENT_PLACEHOLDER);
    } else {
        setText(display, fieldText);
        const bool bearing = !degrees || valueState(Quantity::degrees, fieldText) == ValueState::valid;
        const int sector = bearing ? directionSector(fieldText, units.directionUnit) : -1;
        display.compassImage = sector > 0 ? sector : 0;
    }
    display.unit = directionShowsDegreeSign(units.directionUnit, display.text)
                       ? unitText(Quantity::degrees, 0)
                       : L"";
}

} // namespace

void prepareValueDisplay(const ValueArea& area, StationFields& fields, const UnitSettings& units,
                         int selectedChannel, ValueDisplay& display)
{
    const Rule rule = ruleFor(area.painter);
    wchar_t* fieldText = fields.text[fieldOf(area, units, selectedChannel)];
    display.blankCount = rule.blanks;
    display.centred = area.painter == ValuePainter::centred;
    display.compassImage = 0;
    display.unit = L"";
    display.text[0] = L'\0';

    if (area.painter == ValuePainter::direction) {
        prepareDirection(fieldText, units, display);
        return;
    }
    if (fieldText[0] == L'\0') {
        display.drawn = rule.placeholder != nullptr;
        if (!display.drawn)
            return;
        if (rule.storesPlaceholder)
            std::wcscpy(fieldText, rule.placeholder);
        setText(display, rule.placeholder);
    } else {
        display.drawn = true;
        wchar_t converted[VALUE_TEXT_SIZE];
        convertFieldText(rule.quantity, unitCodeFor(rule.quantity, units), fieldText, converted,
                         VALUE_TEXT_SIZE);
        setText(display, converted);
    }
    if (area.painter != ValuePainter::centred)
        display.unit = unitText(rule.quantity, unitCodeFor(rule.quantity, units));
}
