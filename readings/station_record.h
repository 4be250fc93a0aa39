// One observation as the console sends it, and the store of a history download.
#pragma once

#include <cstddef>
#include <cstdint>

// A NUL-terminated ASCII line of 36 space-separated values in the console's
// units. Bytes after the terminator are zero; a first byte of zero is an
// empty record.
constexpr std::size_t STATION_RECORD_SIZE = 450;

struct StationRecord {
    char text[STATION_RECORD_SIZE];
};

// Slots of a history download: slot i holds the i-th record received.
constexpr std::size_t HISTORY_SLOT_COUNT = 60000;
