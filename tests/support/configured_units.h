// Units other than the built-in ones, as the end-to-end tests configure
// them: the [units] section and what the program must make of it.
#pragma once

#include "readings/units.h"

constexpr UnitSettings CONFIGURED_UNITS = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG,
                                           WIND_MPH,               PRESSURE_ABSOLUTE, DIRECTION_DEGREES};
inline const char* const CONFIGURED_UNITS_SECTION = "[units]\n"
                                                    "temperature = \u00B0F\n"
                                                    "rain = in\n"
                                                    "pressure = inHg\n"
                                                    "wind = mph\n"
                                                    "pressureType = Abs\n"
                                                    "direction = 360\u00B0\n";
