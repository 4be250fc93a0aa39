#include "dashboard/live_json.h"

#include "readings/compass.h"
#include "readings/field_names.h"
#include "readings/json_number.h"
#include "readings/record_time.h"
#include "settings/unit_names.h"

namespace {

void appendKey(std::string& out, const char* key)
{
    out += ",\"";
    out += key;
    out += "\":";
}

// Only texts of our own (names, ISO times, compass points) are written as
// strings: none holds a quote, a backslash or a control character.
void appendString(std::string& out, const char* text)
{
    out += '"';
    out += text;
    out += '"';
}

void appendField(std::string& out, const StationFields& fields, int field, const UnitSettings& units)
{
    const wchar_t* text = fields.text[field];
    const Quantity quantity = fieldQuantity(field);
    if (valueState(quantity, text) != ValueState::valid)
        return;
    if (field == StationFields::windDirPoint) {
        if (compassSectorForPoint(text) < 1)
            return;
        appendKey(out, stationFieldName(field));
        out += '"';
        for (const wchar_t* c = text; *c != L'\0'; ++c)
            out += static_cast<char>(*c);
        out += '"';
        return;
    }
    wchar_t value[VALUE_TEXT_SIZE];
    convertFieldText(quantity, unitCodeFor(quantity, units), text, value, VALUE_TEXT_SIZE);
    std::string number;
    if (!appendJsonNumber(number, value))
        return; // a damaged reading is as good as none
    appendKey(out, stationFieldName(field));
    out += number;
}

} // namespace

std::string versionJsonLine(const char* release)
{
    std::string out = "{\"class\":\"VERSION\",\"program\":\"aerovane\",\"release\":";
    appendString(out, release ? release : "");
    out += '}';
    return out;
}

std::string observationJsonLine(const StationFields& fields, const UnitSettings& units, UtcOffsetOf offsetOf)
{
    std::string out = "{\"class\":\"OBS\"";
    char time[ISO_TIME_SIZE];
    char zoned[ISO_ZONED_TIME_SIZE];
    if (isoRecordTime(fields.text[StationFields::recordDate], fields.text[StationFields::recordTime], time)
        && isoZonedTime(time, offsetOf, zoned)) {
        appendKey(out, "time");
        appendString(out, zoned);
    }
    for (int field = 0; field < static_cast<int>(STATION_FIELD_COUNT); ++field)
        if (field != StationFields::recordDate && field != StationFields::recordTime)
            appendField(out, fields, field, units);
    out += ",\"units\":{";
    for (int i = 0; i < UNIT_CHOICE_COUNT; ++i) {
        const UnitChoice choice = static_cast<UnitChoice>(i);
        const char* name = unitChoiceName(choice, unitChoiceValue(units, choice));
        if (i > 0)
            out += ',';
        out += '"';
        out += unitChoiceKey(choice);
        out += "\":";
        appendString(out, name ? name : "");
    }
    out += "}}";
    return out;
}
