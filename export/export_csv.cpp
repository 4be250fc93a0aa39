#include "export/export_csv.h"

#include "export/export_columns.h"
#include "readings/field_names.h"
#include "readings/record_time.h"
#include "readings/text_output.h"

namespace {

// Date and time go into the one ISO column.
constexpr int FIRST_VALUE_COLUMN = 2;

bool needsQuotes(const std::string& cell)
{
    return cell.find_first_of(",\"\r\n") != std::string::npos;
}

void appendCell(std::string& line, const std::string& cell)
{
    line += ',';
    if (!needsQuotes(cell)) {
        line += cell;
        return;
    }
    line += '"';
    for (char c : cell) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}

// The unit a column's values are in; "" for a plain text.
const wchar_t* columnUnit(const ExportColumn& column, int field, const UnitSettings& units)
{
    const Quantity quantity = field == StationFields::windDirDegrees ? Quantity::degrees
                                                                      : exportColumnQuantity(column);
    return unitText(quantity, unitCodeFor(quantity, units));
}

std::string valueCell(const StationFields& fields, int field, Quantity quantity, const UnitSettings& units)
{
    const wchar_t* text = fields.text[field];
    std::string cell;
    if (valueState(fieldQuantity(field), text) != ValueState::valid)
        return cell;
    wchar_t value[VALUE_TEXT_SIZE];
    convertFieldText(quantity, unitCodeFor(quantity, units), text, value, VALUE_TEXT_SIZE);
    appendUtf8(cell, value);
    return cell;
}

} // namespace

std::string csvHeaderLine(const DataSetSelection& sets, const UnitSettings& units)
{
    std::string line = "time";
    for (int i = FIRST_VALUE_COLUMN; i < EXPORT_COLUMN_COUNT; ++i) {
        const ExportColumn& column = EXPORT_COLUMNS[i];
        if (!exportColumnChosen(column, sets))
            continue;
        const int field = exportColumnField(column, units);
        std::string cell = stationFieldName(field);
        const wchar_t* unit = columnUnit(column, field, units);
        if (unit[0] != L'\0') {
            cell += " (";
            appendUtf8(cell, unit);
            cell += ')';
        }
        appendCell(line, cell);
    }
    line += '\n';
    return line;
}

std::string csvRowLine(const StationRecord& slot, const ExportRequest& request, const UnitSettings& units)
{
    std::string line;
    if (slot.text[0] == '\0')
        return line;
    StationFields fields;
    parseStationRecord(&slot, fields);
    if (!recordInPeriod(fields.text[StationFields::recordDate], request))
        return line;
    char time[ISO_TIME_SIZE];
    isoRecordTime(fields.text[StationFields::recordDate], fields.text[StationFields::recordTime], time);
    line = time;
    for (int i = FIRST_VALUE_COLUMN; i < EXPORT_COLUMN_COUNT; ++i) {
        const ExportColumn& column = EXPORT_COLUMNS[i];
        if (!exportColumnChosen(column, request.dataSets))
            continue;
        appendCell(line, valueCell(fields, exportColumnField(column, units), exportColumnQuantity(column), units));
    }
    line += '\n';
    return line;
}

ExportOutcome writeCsvFile(std::FILE* file, const StationRecord* slots, std::size_t count,
                           const ExportRequest& request, const UnitSettings& units, const LinkFlag& cancel)
{
    SlotSource source{slots, count, 0};
    return writeCsvFile(file, slotExportSource(source), request, units, cancel);
}

ExportOutcome writeCsvFile(std::FILE* file, ExportSource source, const ExportRequest& request,
                           const UnitSettings& units, const LinkFlag& cancel)
{
    ExportOutcome outcome = ExportOutcome::written;
    const std::string header = csvHeaderLine(request.dataSets, units);
    if (exportWrite(header.data(), header.size(), file) != header.size()) {
        outcome = ExportOutcome::failed;
    } else {
        while (const StationRecord* record = source.next(source.context)) {
            const std::string row = csvRowLine(*record, request, units);
            if (!row.empty() && exportWrite(row.data(), row.size(), file) != row.size()) {
                outcome = ExportOutcome::failed;
                break;
            }
            if (cancel != 0) {
                outcome = ExportOutcome::cancelled;
                break;
            }
        }
    }
    if (std::fclose(file) != 0 && outcome == ExportOutcome::written)
        outcome = ExportOutcome::failed;
    if (outcome == ExportOutcome::written && cancel != 0)
        outcome = ExportOutcome::cancelled;
    return outcome;
}
