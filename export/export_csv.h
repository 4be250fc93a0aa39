// The export as a UTF-8 comma-separated file for spreadsheets and data
// tools (`aerovane export --format=csv`): the same records, period, data
// sets, conversions and digits as the UTF-16 file, laid out for machines.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

#include "export/export_file.h"
#include "export/export_request.h"
#include "readings/station_record.h"
#include "readings/units.h"

// The header line: "time", then for each column of the UTF-16 file after
// Date and Time whose data set was chosen, the name of the field it shows
// and its unit in brackets ("outdoorTemp (°C)", "outdoorHumidity (%)",
// "windDirPoint"). Columns left out there are left out here. Ends in LF.
std::string csvHeaderLine(const DataSetSelection& sets, const UnitSettings& units);

// The line of one history slot, or an empty string for an empty slot or a
// record outside the period: the record's date and time as
// "YYYY-MM-DDTHH:MM" (empty when damaged), then the converted value of
// each column of the header. An invalid or absent reading is an empty
// cell. A cell holding a comma, a quote or a line break is quoted. Ends in
// LF.
std::string csvRowLine(const StationRecord& slot, const ExportRequest& request, const UnitSettings& units);

// The whole file on a stream just opened "wb": header, then the rows of
// slots[0..count). `cancel` is tested after each slot and once more at the
// end, as for the UTF-16 file. The stream is closed in every case; a
// failing write or close is `failed`.
ExportOutcome writeCsvFile(std::FILE* file, const StationRecord* slots, std::size_t count,
                           const ExportRequest& request, const UnitSettings& units, const LinkFlag& cancel);
ExportOutcome writeCsvFile(std::FILE* file, ExportSource source, const ExportRequest& request,
                           const UnitSettings& units, const LinkFlag& cancel);
