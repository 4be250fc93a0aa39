// One readable line per live observation, for `aerovane live` on a
// terminal: every value with the text and unit the dashboard shows for it
// (the same conversions, digits and dash placeholders).
#pragma once

#include <string>

#include "readings/station_fields.h"
#include "readings/units.h"

// "2026-03-07 09:05  indoor 21.3°C 45%  outdoor ...  logger 12%", UTF-8,
// no newline. Date and time as the console wrote them. The seven channels
// follow the dashboard's values, each only when it holds a reading; an area
// the dashboard leaves blank for an absent value (pressure, wind, UV) is
// left out.
std::string observationLine(const StationFields& fields, const UnitSettings& units);
