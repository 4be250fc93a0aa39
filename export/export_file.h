// The export file: UTF-16LE text with a byte-order mark, one header row of
// column titles, one row of units and one row per exported record, cells
// separated by TAB and rows ended by LF. The same 33 columns in every file,
// whatever the user named it (".csv" or ".xls"). Values are converted
// through the readings' conversions, so the file holds the digits the
// dashboard shows.
#pragma once

#include <cstddef>
#include <cstdio>

#include "export/export_columns.h"
#include "export/export_request.h"
#include "link/link_flags.h"
#include "readings/station_record.h"
#include "readings/units.h"

// Every byte of the file goes through this; it returns the bytes taken, as
// fwrite does with an element size of 1. A test puts a failing write here.
using ExportWrite = std::size_t (*)(const void* data, std::size_t size, std::FILE* file);
extern ExportWrite exportWrite;

// The byte-order mark (FF FE), the header row and the unit row for `units`.
// A title of two lines stands in double quotes with CR LF between its
// lines. Unit cells are padded with a space on each side; a unit code out of
// its range gives an empty unit text. Returns 1, or 0 when a write failed.
int writeExportHeader(std::FILE* file, const UnitSettings& units);

// The row of one history slot, converted with `units`: nothing for an empty
// slot or a record outside the request's period. A column whose data set
// was not chosen gets an empty cell (two spaces); date, time, wind chill
// and hourly, weekly and monthly rainfall are always written. The record's
// texts are written as they stand, never used as a format. Returns 1
// (written, or nothing to write) or 0 when a write failed.
int writeExportRow(const StationRecord& slot, std::FILE* file, const ExportRequest& request,
                   const UnitSettings& units);

enum class ExportOutcome { written, cancelled, failed };

// Where the rows of a file come from, one record at a time: a download's
// slots, or the archive. `next` returns null at the end; the record it
// returns stays valid until the next call.
struct ExportSource {
    const StationRecord* (*next)(void* context);
    void* context;
};

// A source over slots[0..count).
struct SlotSource {
    const StationRecord* slots;
    std::size_t count;
    std::size_t taken;
};
ExportSource slotExportSource(SlotSource& slots);

// The whole file on a stream just opened "wb": the header, then the rows of
// slots[0..count) in order, each with the unit settings current when it is
// written (the user may change them meanwhile). `cancel` is tested after
// each slot and once more when the file is complete, so a cancel taken at
// any moment before the end leaves no file (the caller deletes it). The stream is closed in every case, and a failing close (the
// last buffered bytes not written) is a failure like any failing write.
ExportOutcome writeExportFile(std::FILE* file, const StationRecord* slots, std::size_t count,
                              const ExportRequest& request, const LinkFlag& cancel);
// The same from any source: `cancel` is tested after each record it gives.
ExportOutcome writeExportFile(std::FILE* file, ExportSource source, const ExportRequest& request,
                              const LinkFlag& cancel);
