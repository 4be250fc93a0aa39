// A console record made ready for the archive: its time as the row's key,
// its own line kept byte for byte, and its values parsed in the console's
// units. A record the console should never have sent is refused here, with
// the reason, before it reaches the file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readings/record_time.h"
#include "readings/station_fields.h"
#include "readings/station_record.h"

struct ArchiveRow {
    char time[ISO_TIME_SIZE]; // "YYYY-MM-DDTHH:MM", the console's local time
    std::int64_t minute;      // the same as minutesFromCivil counts them
    const char* line;         // the console's bytes, not terminated
    std::size_t lineLength;
    // Numbers in the console's units, each the double nearest its text;
    // NaN for an invalid reading and for the three text fields (date, time,
    // compass point).
    double value[STATION_FIELD_COUNT];
    char windDirPoint[STATION_FIELD_SIZE]; // empty when invalid
};

enum class RowVerdict { accepted, empty, malformed };

// Reads the record text (up to its NUL, never more than maxBytes). An empty
// record (a slot the download never filled) is `empty`. A record is
// `malformed` when it holds a byte outside printable ASCII, is not exactly
// 36 values separated by single spaces, has no readable date and time, or
// holds a value that is neither a number nor the console's dash form of an
// invalid reading; `reason` then says which. row.line points into text.
RowVerdict readArchiveRow(const char* text, std::size_t maxBytes, ArchiveRow& row, const char*& reason);

// A stored line back as the record the console sent: the bytes, then zeros.
// Returns 0 when the line does not fit a record with its terminator.
int recordFromLine(const char* line, std::size_t length, StationRecord& record);
