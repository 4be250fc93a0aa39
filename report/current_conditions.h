// The report's "now" and "today" parts: the newest observation as the
// dashboard shows it (same digits, units and dash placeholders), and
// today's highs and lows with their times.
#pragma once

#include <string>

#include "readings/station_fields.h"
#include "readings/units.h"
#include "report/today_extremes.h"

// The tiles of the current conditions, HTML.
std::string currentConditionsHtml(const StationFields& latest, const UnitSettings& units);

// The table of today's highs and lows, HTML.
std::string todayExtremesHtml(const TodayExtremes& today, const UnitSettings& units);

// A reading in the console's units as the dashboard would show it: the
// console's digits (one decimal, none for percent) converted by
// convertFieldText, with the unit text. NaN gives the dash placeholder.
std::string readingText(Quantity quantity, const UnitSettings& units, double value);
