#include "settings/unit_names.h"

#include <cstring>

namespace {

struct ChoiceNames {
    const char* key;
    const char* names[4];
    std::uint8_t UnitSettings::*member;
};

// Codes in UnitSettings order; names as the setup page's lists show them.
const ChoiceNames CHOICES[UNIT_CHOICE_COUNT] = {
    {"temperature", {"\u00B0C", "\u00B0F", nullptr, nullptr}, &UnitSettings::temperatureUnit},
    {"rain", {"mm", "in", nullptr, nullptr}, &UnitSettings::rainUnit},
    {"pressure", {"hPa", "mmHg", "inHg", nullptr}, &UnitSettings::pressureUnit},
    {"wind", {"mph", "m/s", "km/h", "knots"}, &UnitSettings::windUnit},
    {"pressureType", {"Abs", "Rel", nullptr, nullptr}, &UnitSettings::pressureType},
    {"direction", {"16", "360\u00B0", nullptr, nullptr}, &UnitSettings::directionUnit},
};

struct Alias {
    UnitChoice choice;
    const char* name;
    std::uint8_t code;
};

const Alias ALIASES[] = {
    {UnitChoice::temperature, "C", TEMPERATURE_CELSIUS},
    {UnitChoice::temperature, "F", TEMPERATURE_FAHRENHEIT},
    {UnitChoice::direction, "16 directions", DIRECTION_POINTS},
    {UnitChoice::direction, "360", DIRECTION_DEGREES},
    {UnitChoice::direction, "degrees", DIRECTION_DEGREES},
};

const ChoiceNames& namesOf(UnitChoice choice)
{
    return CHOICES[static_cast<int>(choice)];
}

} // namespace

const char* unitChoiceKey(UnitChoice choice)
{
    return namesOf(choice).key;
}

const char* unitChoiceName(UnitChoice choice, std::uint8_t code)
{
    return code < 4 ? namesOf(choice).names[code] : nullptr;
}

int unitChoiceCode(UnitChoice choice, const char* name)
{
    if (!name)
        return -1;
    const ChoiceNames& names = namesOf(choice);
    for (int code = 0; code < 4; ++code)
        if (names.names[code] && std::strcmp(names.names[code], name) == 0)
            return code;
    for (const Alias& alias : ALIASES)
        if (alias.choice == choice && std::strcmp(alias.name, name) == 0)
            return alias.code;
    return -1;
}

std::uint8_t unitChoiceValue(const UnitSettings& units, UnitChoice choice)
{
    return units.*namesOf(choice).member;
}

void setUnitChoice(UnitSettings& units, UnitChoice choice, std::uint8_t code)
{
    units.*namesOf(choice).member = code;
}
