// The unit choices by the names the export & setup page shows them with,
// for the Linux program's configuration file and its JSON "units" object.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readings/units.h"

enum class UnitChoice { temperature, rain, pressure, wind, pressureType, direction };
constexpr int UNIT_CHOICE_COUNT = 6;

// The key of a choice in the configuration file and in JSON:
// "temperature", "rain", "pressure", "wind", "pressureType", "direction".
const char* unitChoiceKey(UnitChoice choice);

// The UTF-8 display name of code `code` of a choice ("°C", "°F"; "mm",
// "in"; "hPa", "mmHg", "inHg"; "mph", "m/s", "km/h", "knots"; "Abs", "Rel";
// "16", "360°"), or null for a code the choice does not have.
const char* unitChoiceName(UnitChoice choice, std::uint8_t code);

// The code whose display name is `name`, or -1. Besides the display names
// a few plain-ASCII spellings are taken, for editors that make "°" hard:
// "C", "F", "16 directions", "360", "degrees".
int unitChoiceCode(UnitChoice choice, const char* name);

// The code of `choice` in `units`, and a setter.
std::uint8_t unitChoiceValue(const UnitSettings& units, UnitChoice choice);
void setUnitChoice(UnitSettings& units, UnitChoice choice, std::uint8_t code);
