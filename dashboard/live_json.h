// The live observations as JSON lines, one self-contained object per line,
// for programs reading `aerovane live --json` (data loggers, home
// automation). Every object starts with its "class"; a value that is
// invalid or absent is left out, never null and never a dash.
#pragma once

#include <string>

#include "readings/record_time.h"
#include "readings/station_fields.h"
#include "readings/units.h"

// {"class":"VERSION","program":"aerovane","release":"<release>"}, the first
// line of a stream. No newline.
std::string versionJsonLine(const char* release);

// {"class":"OBS","time":"YYYY-MM-DDTHH:MM:SS+hh:mm", <field>:<value>..., "units":{...}}
// - "time" from recordDate and recordTime (left out when they are damaged),
//   with the UTC offset `offsetOf` gives for that local time (none without);
// - every other field whose reading is valid, under its StationFields name,
//   converted into `units` as the dashboard converts it, as a JSON number;
//   windDirPoint as a string, and only when it is one of the 16 points;
// - "units": the six choices by their display names.
// No newline.
std::string observationJsonLine(const StationFields& fields, const UnitSettings& units,
                                UtcOffsetOf offsetOf = nullptr);
