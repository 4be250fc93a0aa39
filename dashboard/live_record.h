// A live observation as the reader hands it over (the console's assembly
// buffer), read as the dashboard reads it: its first 255 bytes, always
// terminated.
#pragma once

#include <cstdint>

#include "readings/station_fields.h"

void parseLiveRecord(const std::uint8_t* record, StationFields& fields);
