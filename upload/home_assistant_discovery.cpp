// What Home Assistant's documentation says, and this message relies on:
// - Device discovery: one retained message on
//   <discovery_prefix>/device/<object_id>/config, the object id only of
//   [a-zA-Z0-9_-]. `device` and `origin` are required at the top; the
//   availability options, `state_topic` and `qos` may be shared there and a
//   component may override them. Each entry of `components` needs its
//   `platform` and, for an entity, a `unique_id`. Unknown keys are ignored.
// - Origin: `name` is required, `sw_version` and `support_url` optional.
// - Availability: a list of {topic, payload_available, payload_not_available,
//   value_template}; with `availability_mode` "all" every topic must say
//   available. It must not be combined with `availability_topic`, so the list
//   form is used throughout: one component overrides it.
// - MQTT sensor: `expire_after` seconds without a message make the state
//   unavailable. When a numeric state is expected (device_class, state_class
//   or unit set), a rendered "None" sets the state to unknown and an empty
//   one is ignored (the old value would stay). A sensor without device_class
//   takes any text as its state.
// - Sensor device classes and units: temperature °C °F K; humidity %;
//   atmospheric_pressure hPa mmHg inHg (among others); wind_speed km/h kn m/s
//   mph ft/s; precipitation mm in cm; precipitation_intensity mm/h in/h mm/d
//   in/d; wind_direction °.
// - State classes: measurement; measurement_angle for angles in degrees such
//   as the wind direction; total_increasing for a total that only grows and
//   restarts from 0, a decrease being read as a new cycle.
#include "upload/home_assistant_discovery.h"

#include "readings/field_names.h"
#include "readings/json_string.h"
#include "readings/station_fields.h"

namespace {

using F = StationFields;

struct Sensor {
    int field;
    const char* name;
};

// Every reading of the state object; loggerPercent (how full the console's
// history memory is) is the console's housekeeping, not weather.
constexpr Sensor SENSORS[] = {
    {F::indoorTemp, "Indoor temperature"},
    {F::indoorHumidity, "Indoor humidity"},
    {F::outdoorTemp, "Outdoor temperature"},
    {F::outdoorHumidity, "Outdoor humidity"},
    {F::dailyRain, "Daily rain"},
    {F::rainRate, "Rain rate"},
    {F::windSpeed, "Wind speed"},
    {F::windGust, "Wind gust"},
    {F::windDirDegrees, "Wind direction"},
    {F::windDirPoint, "Wind compass point"},
    {F::relPressure, "Relative pressure"},
    {F::absPressure, "Absolute pressure"},
    {F::uvIndex, "UV index"},
    {F::dewPoint, "Dew point"},
    {F::heatIndex, "Heat index"},
    {F::ch1Temp, "Channel 1 temperature"},
    {F::ch1Humidity, "Channel 1 humidity"},
    {F::ch2Temp, "Channel 2 temperature"},
    {F::ch2Humidity, "Channel 2 humidity"},
    {F::ch3Temp, "Channel 3 temperature"},
    {F::ch3Humidity, "Channel 3 humidity"},
    {F::ch4Temp, "Channel 4 temperature"},
    {F::ch4Humidity, "Channel 4 humidity"},
    {F::ch5Temp, "Channel 5 temperature"},
    {F::ch5Humidity, "Channel 5 humidity"},
    {F::ch6Temp, "Channel 6 temperature"},
    {F::ch6Humidity, "Channel 6 humidity"},
    {F::ch7Temp, "Channel 7 temperature"},
    {F::ch7Humidity, "Channel 7 humidity"},
    {F::windChill, "Wind chill"},
    {F::hourlyRain, "Hourly rain"},
    {F::weeklyRain, "Weekly rain"},
    {F::monthlyRain, "Monthly rain"},
};

const char* deviceClassOf(Quantity quantity)
{
    switch (quantity) {
    case Quantity::temperature:
        return "temperature";
    case Quantity::percent:
        return "humidity";
    case Quantity::pressure:
        return "atmospheric_pressure";
    case Quantity::wind:
        return "wind_speed";
    case Quantity::rain:
        return "precipitation";
    case Quantity::rainRate:
        return "precipitation_intensity";
    case Quantity::degrees:
        return "wind_direction";
    default:
        return nullptr; // the UV index has no class, the compass point is text
    }
}

// The unit of the numbers the state object holds, in Home Assistant's
// spelling: the chosen unit when the value is converted into it, else the
// console's own (an unknown code converts nothing).
const char* unitOf(Quantity quantity, const UnitSettings& units)
{
    const std::uint8_t code = unitCodeFor(quantity, units);
    const bool converted = convertsFieldText(quantity, code);
    switch (quantity) {
    case Quantity::temperature:
        return converted && code == TEMPERATURE_FAHRENHEIT ? "\u00B0F" : "\u00B0C";
    case Quantity::pressure:
        if (!converted)
            return "hPa";
        return code == PRESSURE_MMHG ? "mmHg" : "inHg";
    case Quantity::wind:
        if (!converted)
            return "km/h";
        if (code == WIND_MPH)
            return "mph";
        return code == WIND_METRES_PER_SECOND ? "m/s" : "kn";
    case Quantity::rain:
        return converted ? "in" : "mm";
    case Quantity::rainRate:
        return converted ? "in/h" : "mm/h";
    case Quantity::percent:
        return "%";
    case Quantity::degrees:
        return "\u00B0";
    default:
        return nullptr;
    }
}

const char* stateClassOf(int field)
{
    switch (field) {
    case F::windDirPoint:
        return nullptr;
    case F::windDirDegrees:
        return "measurement_angle";
    // Totals since midnight, the week's and the month's start. The hourly
    // rain is the last hour's, which falls without restarting from 0: a
    // measurement, or each fall would count as a new cycle.
    case F::dailyRain:
    case F::weeklyRain:
    case F::monthlyRain:
        return "total_increasing";
    default:
        return "measurement";
    }
}

void appendKey(std::string& out, const char* key)
{
    appendJsonString(out, key);
    out += ':';
}

void appendMember(std::string& out, const char* key, const std::string& value)
{
    out += ',';
    appendKey(out, key);
    appendJsonString(out, value);
}

std::string objectId(const DiscoveryDevice& device)
{
    return "aerovane_" + device.id;
}

std::string availabilityEntry(const std::string& topic, const std::string& valueTemplate = "")
{
    std::string out = "{";
    appendKey(out, "topic");
    appendJsonString(out, topic);
    appendMember(out, "payload_available", "online");
    appendMember(out, "payload_not_available", "offline");
    if (!valueTemplate.empty())
        appendMember(out, "value_template", valueTemplate);
    out += '}';
    return out;
}

// A member that is not there renders "None": unknown, where a bare
// value_json.x would render empty and leave the last value standing.
std::string numberTemplate(const char* member)
{
    const std::string m = std::string("value_json.") + member;
    return "{{ " + m + " if " + m + " is defined else 'None' }}";
}

// A text sensor takes any rendered text as its state, "None" too: the
// compass point is marked unavailable instead while the object leaves it out,
// by a second availability entry reading the state topic.
void appendTextSensorParts(std::string& out, const DiscoveryDevice& device, const char* member)
{
    const std::string m = std::string("value_json.") + member;
    appendMember(out, "value_template", "{{ " + m + " if " + m + " is defined else '' }}");
    out += ',';
    appendKey(out, "availability");
    out += '[' + availabilityEntry(device.baseTopic + "/status") + ',';
    out += availabilityEntry(device.baseTopic + "/state", "{{ 'online' if " + m + " is defined else 'offline' }}");
    out += ']';
    appendMember(out, "availability_mode", "all");
}

void appendComponent(std::string& out, const DiscoveryDevice& device, const UnitSettings& units, const Sensor& sensor)
{
    const char* member = stationFieldName(sensor.field);
    const Quantity quantity = fieldQuantity(sensor.field);
    appendKey(out, member);
    out += '{';
    appendKey(out, "platform");
    appendJsonString(out, "sensor");
    appendMember(out, "name", sensor.name);
    appendMember(out, "unique_id", objectId(device) + "_" + member);
    if (const char* deviceClass = deviceClassOf(quantity))
        appendMember(out, "device_class", deviceClass);
    if (const char* unit = unitOf(quantity, units))
        appendMember(out, "unit_of_measurement", unit);
    if (const char* stateClass = stateClassOf(sensor.field))
        appendMember(out, "state_class", stateClass);
    if (quantity == Quantity::text)
        appendTextSensorParts(out, device, member);
    else
        appendMember(out, "value_template", numberTemplate(member));
    if (device.expireAfterSeconds > 0)
        out += ",\"expire_after\":" + std::to_string(device.expireAfterSeconds);
    out += '}';
}

// A topic level Home Assistant takes as the object id: anything outside
// [a-zA-Z0-9_-] becomes '_', which also keeps '/', '+' and '#' out.
std::string topicLevel(const std::string& text)
{
    std::string level = text;
    for (char& c : level) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_' && c != '-')
            c = '_';
    }
    return level;
}

} // namespace

std::string discoveryTopic(const DiscoveryDevice& device)
{
    return device.prefix + "/device/" + topicLevel(objectId(device)) + "/config";
}

std::string discoveryPayload(const DiscoveryDevice& device, const UnitSettings& units)
{
    std::string out = "{";
    appendKey(out, "device");
    out += "{";
    appendKey(out, "identifiers");
    out += '[';
    appendJsonString(out, objectId(device));
    out += ']';
    appendMember(out, "name", "Weather station");
    appendMember(out, "model", "USB weather station console");
    appendMember(out, "manufacturer", "Aerovane");
    appendMember(out, "sw_version", device.release);
    out += "},";
    appendKey(out, "origin");
    out += "{";
    appendKey(out, "name");
    appendJsonString(out, "aerovane");
    appendMember(out, "sw_version", device.release);
    out += "},";
    appendKey(out, "availability");
    out += '[' + availabilityEntry(device.baseTopic + "/status") + ']';
    appendMember(out, "state_topic", device.baseTopic + "/state");
    out += ",\"qos\":1,";
    appendKey(out, "components");
    out += '{';
    bool first = true;
    for (const Sensor& sensor : SENSORS) {
        if (!first)
            out += ',';
        first = false;
        appendComponent(out, device, units, sensor);
    }
    out += "}}";
    return out;
}

std::vector<std::string> discoveryReadings()
{
    std::vector<std::string> members;
    for (const Sensor& sensor : SENSORS)
        members.emplace_back(stationFieldName(sensor.field));
    return members;
}
