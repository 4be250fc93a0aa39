// Home Assistant's discovery message of the station, checked against what
// Home Assistant's documentation accepts (its tables are copied here, so a
// slip in the program's own tables shows) and against the state object the
// sensors read.
#include "upload/home_assistant_discovery.h"

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "dashboard/live_json.h"
#include "tests/support/full_observation.h"
#include "tests/support/json_tree.h"

namespace {

using Type = JsonValue::Type;

// The sensor device classes the station's readings fall in, and every unit
// Home Assistant's sensor documentation accepts for each.
const std::map<std::string, std::set<std::string>> ACCEPTED_UNITS = {
    {"temperature", {"\u00B0C", "\u00B0F", "K"}},
    {"humidity", {"%"}},
    {"atmospheric_pressure", {"cbar", "bar", "hPa", "mmHg", "inHg", "inH\u2082O", "kPa", "mbar", "Pa", "psi"}},
    {"wind_speed", {"Beaufort", "ft/s", "km/h", "kn", "m/s", "mph"}},
    {"precipitation", {"cm", "in", "mm"}},
    {"precipitation_intensity", {"in/d", "in/h", "mm/d", "mm/h"}},
    {"wind_direction", {"\u00B0"}},
};

const std::set<std::string> SENSOR_STATE_CLASSES = {"measurement", "measurement_angle", "total", "total_increasing"};

DiscoveryDevice station()
{
    return {"b827eb01", "aerovane/station", "homeassistant", "1.01", 180};
}

JsonValue parsed(const std::string& text)
{
    const std::optional<JsonValue> tree = parseJson(text);
    EXPECT_TRUE(tree.has_value()) << text;
    return tree.value_or(JsonValue{});
}

std::string textOf(const JsonValue* value)
{
    return value != nullptr && value->type == Type::string ? value->text : "<absent>";
}

// Every unit setting the program can hold: 2 x 2 x 3 x 4 x 2 x 2.
std::vector<UnitSettings> everyUnitSetting()
{
    std::vector<UnitSettings> all;
    for (std::uint8_t t = 0; t < 2; ++t)
        for (std::uint8_t r = 0; r < 2; ++r)
            for (std::uint8_t p = 0; p < 3; ++p)
                for (std::uint8_t w = 0; w < 4; ++w)
                    for (std::uint8_t pt = 0; pt < 2; ++pt)
                        for (std::uint8_t d = 0; d < 2; ++d)
                            all.push_back({t, r, p, w, pt, d});
    return all;
}

// An observation with every reading valid, as the console writes it.
StationFields everyFieldValid()
{
    std::vector<std::string> fields = fullObservation();
    fields[22] = "13.1"; // ch3Temp
    fields[23] = "60";   // ch3Humidity
    const std::string line = joined(fields);
    StationFields parsedFields{};
    parseStationRecord(line.c_str(), line.size() + 1, parsedFields);
    return parsedFields;
}

// The names after "value_json." in a template.
std::set<std::string> membersRead(const std::string& valueTemplate)
{
    std::set<std::string> members;
    const std::string prefix = "value_json.";
    for (std::size_t at = valueTemplate.find(prefix); at != std::string::npos;
         at = valueTemplate.find(prefix, at + 1)) {
        std::size_t end = at + prefix.size();
        while (end < valueTemplate.size() && (std::isalnum(static_cast<unsigned char>(valueTemplate[end])) != 0))
            ++end;
        members.insert(valueTemplate.substr(at + prefix.size(), end - at - prefix.size()));
    }
    return members;
}

const JsonValue& components(const JsonValue& payload)
{
    static const JsonValue none;
    const JsonValue* found = payload.member("components");
    EXPECT_TRUE(found != nullptr && found->type == Type::object);
    return found != nullptr ? *found : none;
}

// ---- the reader itself must refuse, or the checks below prove nothing ------

TEST(StrictJsonReader, RefusesWhatIsNoJson)
{
    for (const char* bad : {"{\"a\":1,}", "{\"a\":01}", "[1 2]", "{\"a\":\"x\ny\"}", "{\"a\":\"\\q\"}",
                            "{a:1}", "{\"a\":1}}", "\"open", "{\"a\":.5}", "[-]", ""})
        EXPECT_FALSE(parseJson(bad).has_value()) << bad;
    const std::optional<JsonValue> good = parseJson(" {\"a\":[1,-0.5e3,true,null],\"b\":\"q\\\"\\\\\\u00B0\"} ");
    ASSERT_TRUE(good.has_value());
    EXPECT_EQ(textOf(good->member("b")), "q\"\\\u00B0");
}

// ---- the topic ---------------------------------------------------------------

TEST(HomeAssistantDiscovery, TopicIsTheDeviceFormUnderTheConfiguredPrefix)
{
    EXPECT_EQ(discoveryTopic(station()), "homeassistant/device/aerovane_b827eb01/config");

    DiscoveryDevice custom = station();
    custom.prefix = "ha/discovery";
    custom.id = "Loft-station_2";
    EXPECT_EQ(discoveryTopic(custom), "ha/discovery/device/aerovane_Loft-station_2/config");

    // Home Assistant takes only [a-zA-Z0-9_-] as the object id; a wildcard or
    // a '/' would not even make a topic one can publish to.
    custom.id = "my \"wx\"/+#\\\xC3\xA9";
    EXPECT_EQ(discoveryTopic(custom), "ha/discovery/device/aerovane_my__wx_______/config");
}

// ---- the document ---------------------------------------------------------------

TEST(HomeAssistantDiscovery, IsStrictJsonForEveryUnitSetting)
{
    for (const UnitSettings& units : everyUnitSetting())
        EXPECT_TRUE(parseJson(discoveryPayload(station(), units)).has_value())
            << int(units.temperatureUnit) << int(units.rainUnit) << int(units.pressureUnit)
            << int(units.windUnit) << int(units.pressureType) << int(units.directionUnit);
}

TEST(HomeAssistantDiscovery, CarriesWhatDeviceDiscoveryRequires)
{
    const JsonValue payload = parsed(discoveryPayload(station(), DEFAULT_UNIT_SETTINGS));

    const JsonValue* device = payload.member("device");
    ASSERT_NE(device, nullptr);
    const JsonValue* identifiers = device->member("identifiers");
    ASSERT_TRUE(identifiers != nullptr && identifiers->items.size() == 1);
    EXPECT_EQ(identifiers->items[0].text, "aerovane_b827eb01");
    EXPECT_EQ(textOf(device->member("manufacturer")), "Aerovane");
    EXPECT_EQ(textOf(device->member("sw_version")), "1.01");
    EXPECT_NE(textOf(device->member("name")), "<absent>");
    EXPECT_NE(textOf(device->member("model")), "<absent>");

    const JsonValue* origin = payload.member("origin");
    ASSERT_NE(origin, nullptr);
    EXPECT_EQ(textOf(origin->member("name")), "aerovane");
    EXPECT_EQ(textOf(origin->member("sw_version")), "1.01");
    EXPECT_EQ(origin->member("support_url"), nullptr); // there is none to give

    // Shared by every component: one state topic, the will's availability.
    EXPECT_EQ(textOf(payload.member("state_topic")), "aerovane/station/state");
    EXPECT_EQ(payload.member("availability_topic"), nullptr); // excludes the list form
    const JsonValue* availability = payload.member("availability");
    ASSERT_TRUE(availability != nullptr && availability->items.size() == 1);
    EXPECT_EQ(textOf(availability->items[0].member("topic")), "aerovane/station/status");
    EXPECT_EQ(textOf(availability->items[0].member("payload_available")), "online");
    EXPECT_EQ(textOf(availability->items[0].member("payload_not_available")), "offline");
    ASSERT_NE(payload.member("qos"), nullptr);
    EXPECT_EQ(payload.member("qos")->text, "1");

    std::set<std::string> uniqueIds;
    for (const auto& [key, component] : components(payload).members) {
        EXPECT_EQ(textOf(component.member("platform")), "sensor") << key;
        EXPECT_EQ(textOf(component.member("unique_id")), "aerovane_b827eb01_" + key);
        EXPECT_TRUE(uniqueIds.insert(textOf(component.member("unique_id"))).second) << key;
        EXPECT_NE(textOf(component.member("name")), "<absent>") << key;
        ASSERT_NE(component.member("expire_after"), nullptr) << key;
        EXPECT_EQ(component.member("expire_after")->text, "180") << key;
    }

    DiscoveryDevice never = station();
    never.expireAfterSeconds = 0;
    const JsonValue neverExpiring = parsed(discoveryPayload(never, DEFAULT_UNIT_SETTINGS));
    for (const auto& [key, component] : components(neverExpiring).members)
        EXPECT_EQ(component.member("expire_after"), nullptr) << key;
}

TEST(HomeAssistantDiscovery, UserTextIsEscapedAndComesBackWhole)
{
    DiscoveryDevice odd = station();
    odd.id = "a\"b\\c\x01";
    odd.baseTopic = "wx/\"loft\"\\\tstation";
    odd.release = "1.01 \"beta\"";
    const std::string text = discoveryPayload(odd, DEFAULT_UNIT_SETTINGS);
    const JsonValue payload = parsed(text);

    ASSERT_NE(payload.member("device"), nullptr);
    const JsonValue* identifiers = payload.member("device")->member("identifiers");
    ASSERT_TRUE(identifiers != nullptr && identifiers->items.size() == 1);
    EXPECT_EQ(identifiers->items[0].text, "aerovane_a\"b\\c\x01");
    EXPECT_EQ(textOf(payload.member("device")->member("sw_version")), "1.01 \"beta\"");
    EXPECT_EQ(textOf(payload.member("state_topic")), "wx/\"loft\"\\\tstation/state");
    ASSERT_NE(payload.member("availability"), nullptr);
    EXPECT_EQ(textOf(payload.member("availability")->items.at(0).member("topic")), "wx/\"loft\"\\\tstation/status");
    const JsonValue* outdoor = components(payload).member("outdoorTemp");
    ASSERT_NE(outdoor, nullptr);
    EXPECT_EQ(textOf(outdoor->member("unique_id")), "aerovane_a\"b\\c\x01_outdoorTemp");
}

// ---- the sensors -------------------------------------------------------------------

TEST(HomeAssistantDiscovery, EveryReadingOfTheStateObjectHasASensorReadingIt)
{
    const JsonValue state = parsed(observationJsonLine(everyFieldValid(), DEFAULT_UNIT_SETTINGS));
    std::set<std::string> readings;
    for (const auto& [member, value] : state.members)
        if (value.type == Type::number || member == "windDirPoint")
            readings.insert(member);
    readings.erase("loggerPercent"); // the console's memory, no weather
    EXPECT_EQ(readings.size(), 33u); // the line really was complete

    const JsonValue payload = parsed(discoveryPayload(station(), DEFAULT_UNIT_SETTINGS));
    std::vector<std::string> keys;
    for (const auto& [key, component] : components(payload).members) {
        keys.push_back(key);
        EXPECT_EQ(readings.count(key), 1u) << key << " is no reading of the state object";
        EXPECT_EQ(membersRead(textOf(component.member("value_template"))), std::set<std::string>{key}) << key;
    }
    EXPECT_EQ(std::set<std::string>(keys.begin(), keys.end()), readings);
    EXPECT_EQ(keys, discoveryReadings());
}

TEST(HomeAssistantDiscovery, EveryClassAndUnitIsOneHomeAssistantAccepts)
{
    for (const UnitSettings& units : everyUnitSetting()) {
        const JsonValue payload = parsed(discoveryPayload(station(), units));
        for (const auto& [key, component] : components(payload).members) {
            const JsonValue* deviceClass = component.member("device_class");
            const JsonValue* unit = component.member("unit_of_measurement");
            const JsonValue* stateClass = component.member("state_class");
            if (stateClass != nullptr) {
                EXPECT_EQ(SENSOR_STATE_CLASSES.count(stateClass->text), 1u) << key;
            }
            if (deviceClass == nullptr)
                continue;
            const auto accepted = ACCEPTED_UNITS.find(deviceClass->text);
            ASSERT_NE(accepted, ACCEPTED_UNITS.end()) << key << ": " << deviceClass->text;
            ASSERT_NE(unit, nullptr) << key;
            EXPECT_EQ(accepted->second.count(unit->text), 1u) << key << ": " << unit->text;
            if (textOf(stateClass) == "measurement_angle") {
                EXPECT_EQ(unit->text, "\u00B0") << key;
            }
        }
    }
}

TEST(HomeAssistantDiscovery, UnitsAreTheOwnersChoices)
{
    struct Case {
        UnitSettings units;
        const char* member;
        const char* unit;
    };
    const UnitSettings base = DEFAULT_UNIT_SETTINGS;
    auto with = [&](std::uint8_t UnitSettings::*choice, std::uint8_t code) {
        UnitSettings u = base;
        u.*choice = code;
        return u;
    };
    const Case cases[] = {
        {with(&UnitSettings::temperatureUnit, TEMPERATURE_CELSIUS), "outdoorTemp", "\u00B0C"},
        {with(&UnitSettings::temperatureUnit, TEMPERATURE_FAHRENHEIT), "ch7Temp", "\u00B0F"},
        {with(&UnitSettings::temperatureUnit, TEMPERATURE_FAHRENHEIT), "windChill", "\u00B0F"},
        {with(&UnitSettings::rainUnit, RAIN_MM), "monthlyRain", "mm"},
        {with(&UnitSettings::rainUnit, RAIN_INCHES), "dailyRain", "in"},
        {with(&UnitSettings::rainUnit, RAIN_MM), "rainRate", "mm/h"},
        {with(&UnitSettings::rainUnit, RAIN_INCHES), "rainRate", "in/h"},
        {with(&UnitSettings::pressureUnit, PRESSURE_HPA), "relPressure", "hPa"},
        {with(&UnitSettings::pressureUnit, PRESSURE_MMHG), "absPressure", "mmHg"},
        {with(&UnitSettings::pressureUnit, PRESSURE_INHG), "relPressure", "inHg"},
        {with(&UnitSettings::windUnit, WIND_MPH), "windSpeed", "mph"},
        {with(&UnitSettings::windUnit, WIND_METRES_PER_SECOND), "windGust", "m/s"},
        {with(&UnitSettings::windUnit, WIND_KMH), "windSpeed", "km/h"},
        {with(&UnitSettings::windUnit, WIND_KNOTS), "windGust", "kn"},
        {base, "indoorHumidity", "%"},
        {base, "windDirDegrees", "\u00B0"},
    };
    for (const Case& c : cases) {
        const JsonValue payload = parsed(discoveryPayload(station(), c.units));
        const JsonValue* component = components(payload).member(c.member);
        ASSERT_NE(component, nullptr) << c.member;
        EXPECT_EQ(textOf(component->member("unit_of_measurement")), c.unit) << c.member;
    }
}

// An unknown code converts nothing: the number stays in the console's unit,
// and so must the unit Home Assistant is told.
TEST(HomeAssistantDiscovery, UnitIsTheOneTheStateObjectsNumberIsIn)
{
    UnitSettings units = DEFAULT_UNIT_SETTINGS;
    units.windUnit = 9;
    units.temperatureUnit = 7;
    const JsonValue state = parsed(observationJsonLine(everyFieldValid(), units));
    ASSERT_NE(state.member("windSpeed"), nullptr);
    EXPECT_EQ(state.member("windSpeed")->text, "12");
    ASSERT_NE(state.member("outdoorTemp"), nullptr);
    EXPECT_EQ(state.member("outdoorTemp")->text, "-3.5");

    const JsonValue payload = parsed(discoveryPayload(station(), units));
    EXPECT_EQ(textOf(components(payload).member("windSpeed")->member("unit_of_measurement")), "km/h");
    EXPECT_EQ(textOf(components(payload).member("outdoorTemp")->member("unit_of_measurement")), "\u00B0C");
}

// Home Assistant takes a sensor with a class, unit or state class as numeric
// and refuses text in it; the compass point is text.
TEST(HomeAssistantDiscovery, CompassPointIsATextSensorUnavailableWhileLeftOut)
{
    const JsonValue payload = parsed(discoveryPayload(station(), DEFAULT_UNIT_SETTINGS));
    const JsonValue* point = components(payload).member("windDirPoint");
    ASSERT_NE(point, nullptr);
    EXPECT_EQ(point->member("device_class"), nullptr);
    EXPECT_EQ(point->member("unit_of_measurement"), nullptr);
    EXPECT_EQ(point->member("state_class"), nullptr);

    EXPECT_EQ(textOf(point->member("availability_mode")), "all");
    const JsonValue* availability = point->member("availability");
    ASSERT_TRUE(availability != nullptr && availability->items.size() == 2);
    EXPECT_EQ(textOf(availability->items[0].member("topic")), "aerovane/station/status");
    EXPECT_EQ(textOf(availability->items[1].member("topic")), "aerovane/station/state");
    EXPECT_EQ(membersRead(textOf(availability->items[1].member("value_template"))),
              std::set<std::string>{"windDirPoint"});

    // Every other sensor is numeric: an absent member must give "None"
    // (unknown), not the empty text Home Assistant ignores.
    for (const auto& [key, component] : components(payload).members) {
        if (key != "windDirPoint") {
            EXPECT_NE(textOf(component.member("value_template")).find("else 'None'"), std::string::npos) << key;
        }
    }
}

TEST(HomeAssistantDiscovery, RainTotalsThatRestartFromZeroAreTotalIncreasing)
{
    const JsonValue payload = parsed(discoveryPayload(station(), DEFAULT_UNIT_SETTINGS));
    const std::map<std::string, std::string> expected = {
        {"dailyRain", "total_increasing"},
        {"weeklyRain", "total_increasing"},
        {"monthlyRain", "total_increasing"},
        {"hourlyRain", "measurement"}, // the last hour's: falls without a restart
        {"rainRate", "measurement"},
        {"windDirDegrees", "measurement_angle"},
        {"uvIndex", "measurement"},
    };
    for (const auto& [member, stateClass] : expected) {
        const JsonValue* component = components(payload).member(member);
        ASSERT_NE(component, nullptr) << member;
        EXPECT_EQ(textOf(component->member("state_class")), stateClass) << member;
    }
}

} // namespace
