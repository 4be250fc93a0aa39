#include "report/current_conditions.h"

#include <cmath>

#include "dashboard/value_display.h"
#include "readings/text_output.h"
#include "report/html_text.h"
#include "resources/resource_ids.h"

namespace {

constexpr const char* PLACEHOLDER = "--";

struct Tile {
    const char* label;
    ValueArea area;
};

// The dashboard's areas; wind chill has none there and is shown the way
// the heat index is.
const Tile TILES[] = {
    {"Outdoor", {IDC_VALUE_OUTDOOR_TEMP, ValuePainter::temperature, StationFields::outdoorTemp}},
    {"Humidity", {IDC_VALUE_OUTDOOR_HUMIDITY, ValuePainter::humidity, StationFields::outdoorHumidity}},
    {"Dew point", {IDC_VALUE_DEW_POINT, ValuePainter::temperature, StationFields::dewPoint}},
    {"Heat index", {IDC_VALUE_HEAT_INDEX, ValuePainter::temperature, StationFields::heatIndex}},
    {"Wind chill", {IDC_VALUE_HEAT_INDEX, ValuePainter::temperature, StationFields::windChill}},
    {nullptr, {IDC_VALUE_PRESSURE, ValuePainter::pressure, NO_FIELD}}, // labelled by the pressure type
    {"Wind", {IDC_VALUE_WIND_SPEED, ValuePainter::wind, StationFields::windSpeed}},
    {"Gust", {IDC_VALUE_WIND_GUST, ValuePainter::wind, StationFields::windGust}},
    {"Direction", {IDC_VALUE_WIND_DIRECTION, ValuePainter::direction, NO_FIELD}},
    {"Rain rate", {IDC_VALUE_RAIN_RATE, ValuePainter::rainRate, StationFields::rainRate}},
    {"Rain today", {IDC_VALUE_DAILY_RAIN, ValuePainter::rain, StationFields::dailyRain}},
    {"UV index", {IDC_VALUE_UV_INDEX, ValuePainter::centred, StationFields::uvIndex}},
    {"Indoor", {IDC_VALUE_INDOOR_TEMP, ValuePainter::temperature, StationFields::indoorTemp}},
    {"Indoor humidity", {IDC_VALUE_INDOOR_HUMIDITY, ValuePainter::humidity, StationFields::indoorHumidity}},
};

// Signs that sit against their number on the dashboard; words get a space.
bool unitAttaches(const wchar_t* unit)
{
    return unit[0] == L'\u00B0' || unit[0] == L'%';
}

// The unit may wrap below a long number on a narrow screen.
void appendTile(std::string& out, const char* label, const ValueDisplay& display)
{
    out += "<div class=\"tile\"><span class=\"label\">";
    out += label;
    out += "</span><span class=\"value\">";
    if (!display.drawn || display.text[0] == L'\0') {
        out += PLACEHOLDER;
    } else {
        appendEscaped(out, display.text);
        if (display.unit != nullptr && display.unit[0] != L'\0') {
            out += unitAttaches(display.unit) ? "<span class=\"unit\">" : " <span class=\"unit\">";
            appendEscaped(out, display.unit);
            out += "</span>";
        }
    }
    out += "</span></div>";
}

struct TodayRow {
    const char* label;
    Charted charted;
    Quantity quantity;
    bool lowShown;
};

const TodayRow TODAY_ROWS[] = {
    {"Temperature", Charted::outdoorTemp, Quantity::temperature, true},
    {"Dew point", Charted::dewPoint, Quantity::temperature, true},
    {"Humidity", Charted::humidity, Quantity::percent, true},
    {"Pressure", Charted::relPressure, Quantity::pressure, true},
    {"Wind", Charted::windSpeed, Quantity::wind, false},
    {"Gust", Charted::windGust, Quantity::wind, false},
};

void appendExtreme(std::string& out, const Extreme& extreme, Quantity quantity, const UnitSettings& units)
{
    out += "<td>";
    if (extreme.seen) {
        appendEscaped(out, readingText(quantity, units, extreme.value));
        out += "<small>at " + clockText(extreme.minute) + "</small>";
    } else {
        out += PLACEHOLDER;
    }
    out += "</td>";
}

} // namespace

std::string readingText(Quantity quantity, const UnitSettings& units, double value)
{
    if (!std::isfinite(value))
        return PLACEHOLDER;
    const std::string digits = fixedText(value, quantity == Quantity::percent ? 0 : 1);
    wchar_t text[VALUE_TEXT_SIZE];
    std::size_t length = 0;
    for (char c : digits)
        if (length + 1 < VALUE_TEXT_SIZE)
            text[length++] = static_cast<wchar_t>(c);
    text[length] = L'\0';
    const std::uint8_t code = unitCodeFor(quantity, units);
    wchar_t converted[VALUE_TEXT_SIZE];
    convertFieldText(quantity, code, text, converted, VALUE_TEXT_SIZE);
    if (converted[0] == L'\0')
        return PLACEHOLDER;
    std::string out;
    appendUtf8(out, converted);
    const wchar_t* unit = unitText(quantity, code);
    if (unit[0] != L'\0') {
        if (!unitAttaches(unit))
            out += ' ';
        appendUtf8(out, unit);
    }
    return out;
}

std::string currentConditionsHtml(const StationFields& latest, const UnitSettings& units)
{
    // The painters write their placeholders into the fields they show.
    StationFields fields = latest;
    std::string out = "<div class=\"tiles\">";
    for (const Tile& tile : TILES) {
        ValueDisplay display{};
        prepareValueDisplay(tile.area, fields, units, 1, display);
        const char* label = tile.label;
        if (label == nullptr)
            label = pressureField(units.pressureType) == StationFields::relPressure ? "Pressure (rel.)"
                                                                                    : "Pressure (abs.)";
        appendTile(out, label, display);
    }
    out += "</div>";
    return out;
}

std::string todayExtremesHtml(const TodayExtremes& today, const UnitSettings& units)
{
    std::string out = "<table><thead><tr><th></th><th>High</th><th>Low</th></tr></thead><tbody>";
    for (const TodayRow& row : TODAY_ROWS) {
        int q = static_cast<int>(row.charted);
        if (row.charted == Charted::relPressure && pressureField(units.pressureType) != StationFields::relPressure)
            q = static_cast<int>(Charted::absPressure);
        out += "<tr><th>";
        out += row.label;
        out += "</th>";
        appendExtreme(out, today.high[q], row.quantity, units);
        if (row.lowShown)
            appendExtreme(out, today.low[q], row.quantity, units);
        else
            out += "<td></td>";
        out += "</tr>";
    }
    out += "<tr><th>Rain</th><td>";
    out += today.rainSeen ? "" : PLACEHOLDER;
    if (today.rainSeen)
        appendEscaped(out, readingText(Quantity::rain, units, today.rain));
    out += "</td><td></td></tr></tbody></table>";
    return out;
}
