#include "export/export_file.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <new>

#include "export/export_columns.h"
#include "readings/compass.h"
#include "readings/station_fields.h"

namespace {

std::size_t writeToStream(const void* data, std::size_t size, std::FILE* file)
{
    return std::fwrite(data, 1, size, file);
}

// Rows are written through a large stream buffer: about 26 MB for a full
// store, which the default few kilobytes would split into thousands of
// system writes.
constexpr std::size_t STREAM_BUFFER_SIZE = 1 << 16;

// A converted cell holds at most VALUE_TEXT_SIZE - 1 characters, so a row
// of 33 padded cells, their TABs and the LF always fits, even with every
// character taking a surrogate pair; so does the header.
constexpr std::size_t LINE_UNITS = 2 * (EXPORT_COLUMN_COUNT * (VALUE_TEXT_SIZE + 2) + 1);

// UTF-16LE bytes built explicitly: wchar_t is 2 bytes on Windows and 4 on
// Linux, and the file must not depend on it.
struct Utf16Line {
    unsigned char bytes[2 * LINE_UNITS];
    std::size_t used;
};

// Characters beyond 16 bits (only possible where wchar_t is 32 bits) and
// the end of the room, which the sizes above never reach.
void putRare(Utf16Line& line, std::uint32_t code)
{
    const std::uint32_t units[2] = {0xD800 + ((code - 0x10000) >> 10), 0xDC00 + ((code - 0x10000) & 0x3FF)};
    const std::size_t count = code > 0xFFFF ? 2 : 1;
    if (count == 1)
        return; // no room: never write past the end
    if (line.used + 4 > sizeof line.bytes)
        return;
    for (std::uint32_t unit : units) {
        line.bytes[line.used++] = static_cast<unsigned char>(unit & 0xFF);
        line.bytes[line.used++] = static_cast<unsigned char>(unit >> 8);
    }
}

inline void put(Utf16Line& line, wchar_t c)
{
    const std::uint32_t code = static_cast<std::uint32_t>(c);
    if (code > 0xFFFF || line.used + 2 > sizeof line.bytes) {
        putRare(line, code);
        return;
    }
    line.bytes[line.used] = static_cast<unsigned char>(code & 0xFF);
    line.bytes[line.used + 1] = static_cast<unsigned char>(code >> 8);
    line.used += 2;
}

void put(Utf16Line& line, const wchar_t* text)
{
    for (; *text != L'\0'; ++text)
        put(line, *text);
}

int writeLine(std::FILE* file, const Utf16Line& line)
{
    return exportWrite(line.bytes, line.used, file) == line.used ? 1 : 0;
}

bool isTwoLines(const wchar_t* title)
{
    for (; *title != L'\0'; ++title)
        if (*title == L'\r')
            return true;
    return false;
}

// The unit texts the readings give for codes in range; other codes, which
// only an altered stored setting brings, name no unit.
bool codeInRange(Quantity quantity, std::uint8_t code)
{
    switch (quantity) {
    case Quantity::temperature:
    case Quantity::rain:
    case Quantity::rainRate:
        return code <= 1;
    case Quantity::pressure:
        return code <= PRESSURE_INHG;
    case Quantity::wind:
        return code <= WIND_KNOTS;
    default:
        return true;
    }
}

const wchar_t* quantityUnit(Quantity quantity, const UnitSettings& units)
{
    const std::uint8_t code = unitCodeFor(quantity, units);
    return codeInRange(quantity, code) ? unitText(quantity, code) : L"";
}

void putUnitCell(Utf16Line& line, UnitCell cell, const UnitSettings& units)
{
    switch (cell) {
    case UnitCell::date:
        put(line, L"yy-mm-dd");
        break;
    case UnitCell::time:
        put(line, L"hh:mm");
        break;
    case UnitCell::percent:
        put(line, L"%");
        break;
    case UnitCell::index:
        put(line, L"index");
        break;
    case UnitCell::temperature:
        put(line, quantityUnit(Quantity::temperature, units));
        break;
    case UnitCell::wind:
        put(line, quantityUnit(Quantity::wind, units));
        break;
    case UnitCell::rainRate:
        put(line, quantityUnit(Quantity::rainRate, units));
        break;
    case UnitCell::rain:
        put(line, quantityUnit(Quantity::rain, units));
        break;
    case UnitCell::dailyRain: {
        // The extra space has always stood there; files read by column
        // position may count on it. It belongs to the unit: a cell without
        // one stays empty like every other.
        const wchar_t* unit = quantityUnit(Quantity::rain, units);
        if (*unit != L'\0')
            put(line, L' ');
        put(line, unit);
        break;
    }
    case UnitCell::pressure:
        if (codeInRange(Quantity::pressure, units.pressureUnit) && units.pressureType <= PRESSURE_RELATIVE) {
            put(line, unitText(Quantity::pressure, units.pressureUnit));
            put(line, units.pressureType == PRESSURE_RELATIVE ? L"(Rel)" : L"(Abs)");
        }
        break;
    case UnitCell::direction:
        if (units.directionUnit == DIRECTION_POINTS)
            put(line, L"16(direction)");
        else if (units.directionUnit == DIRECTION_DEGREES)
            put(line, L"360\u00B0(Degree)");
        break;
    }
}

// An ASCII text of known length, with one bounds check for all of it: the
// pads and separators around every cell.
template <std::size_t N>
void putAscii(Utf16Line& line, const char (&text)[N])
{
    constexpr std::size_t length = N - 1;
    if (line.used + 2 * length > sizeof line.bytes)
        return; // never write past the end
    for (std::size_t i = 0; i < length; ++i) {
        line.bytes[line.used + 2 * i] = static_cast<unsigned char>(text[i]);
        line.bytes[line.used + 2 * i + 1] = 0;
    }
    line.used += 2 * length;
}

// What a data row needs of each column, worked out once per file and unit
// setting instead of once per cell.
constexpr int NO_FIELD = -1; // the column's data set is off: an empty cell

struct CellPlan {
    int field; // the record field shown, or NO_FIELD
    Quantity quantity;
    std::uint8_t code;       // the unit code governing quantity
    bool converted;          // convertFieldText changes the text, not only copies it
    bool remembered;         // the memo can key this quantity and code
    std::uint64_t memoTag;   // quantity and code in the memo key's top byte
};

struct RowPlan {
    UnitSettings units;
    CellPlan cells[EXPORT_COLUMN_COUNT];
};

void makeRowPlan(RowPlan& plan, const DataSetSelection& sets, const UnitSettings& units)
{
    plan.units = units;
    for (int i = 0; i < EXPORT_COLUMN_COUNT; ++i) {
        const ExportColumn& column = EXPORT_COLUMNS[i];
        CellPlan& cell = plan.cells[i];
        cell.field = exportColumnChosen(column, sets) ? exportColumnField(column, units) : NO_FIELD;
        cell.quantity = exportColumnQuantity(column);
        cell.code = unitCodeFor(cell.quantity, units);
        cell.converted = convertsFieldText(cell.quantity, cell.code);
        cell.remembered = cell.code < 16;
        cell.memoTag = static_cast<std::uint64_t>(static_cast<int>(cell.quantity) << 4 | (cell.code & 0xF)) << 56;
    }
}

bool sameUnits(const UnitSettings& a, const UnitSettings& b)
{
    return a.temperatureUnit == b.temperatureUnit && a.rainUnit == b.rainUnit && a.pressureUnit == b.pressureUnit
        && a.windUnit == b.windUnit && a.pressureType == b.pressureType && a.directionUnit == b.directionUnit;
}

// The field's text as parseStationRecord gives it: each byte the character
// of the same value.
void widenField(const char* record, const FieldSpan& span, wchar_t (&text)[STATION_FIELD_SIZE])
{
    for (std::size_t i = 0; i < span.length; ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(record[span.start + i]));
    text[span.length] = L'\0';
}

// Conversions repeat: a console's history holds a few hundred distinct
// temperature, rain, pressure and wind texts, and converting one costs far
// more than writing it. The export remembers recent results of
// convertFieldText, keyed by the exact text, quantity and unit code; the
// conversion itself stays the readings' one. Short texts only (nearly all
// of them): a key is up to seven bytes packed in a word, and a result up to
// seven characters kept ready as the UTF-16LE bytes of the cell, so a
// remembered cell is one copy.
constexpr std::size_t MEMO_TEXT_MAX = 7;
constexpr int MEMO_BITS = 14;

struct MemoEntry {
    // The field's bytes, then quantity and code in the top byte; a field
    // never holds a zero byte, so zero marks an empty entry.
    std::uint64_t key;
    unsigned char cell[2 * (MEMO_TEXT_MAX + 1)]; // copied whole; `bytes` of it count
    std::size_t bytes;
};

struct ConversionMemo {
    MemoEntry entries[std::size_t{1} << MEMO_BITS];
};

// The field's 1..7 bytes packed in a word, the first in the low byte; 0 for
// an empty or longer field.
std::uint64_t packField(const char* record, const FieldSpan& span)
{
    if (span.length == 0 || span.length > MEMO_TEXT_MAX)
        return 0;
    const std::uint64_t mask = (std::uint64_t{1} << (8 * span.length)) - 1;
    std::uint64_t packed = 0;
    if (std::endian::native == std::endian::little && span.start + sizeof packed <= STATION_RECORD_SIZE) {
        // One load instead of a loop over the bytes; the bytes past the
        // field are masked off.
        std::memcpy(&packed, record + span.start, sizeof packed);
        return packed & mask;
    }
    for (std::size_t i = 0; i < span.length; ++i)
        packed |= static_cast<std::uint64_t>(static_cast<unsigned char>(record[span.start + i])) << (8 * i);
    return packed;
}

void remember(MemoEntry& entry, std::uint64_t key, const wchar_t* value, std::size_t length)
{
    if (length > MEMO_TEXT_MAX)
        return;
    // Only single UTF-16 units: a cell copy never splits a pair.
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t code = static_cast<std::uint32_t>(value[i]);
        if (code > 0xFFFF)
            return;
    }
    entry.key = key;
    std::memset(entry.cell, 0, sizeof entry.cell);
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t code = static_cast<std::uint32_t>(value[i]);
        entry.cell[2 * i] = static_cast<unsigned char>(code & 0xFF);
        entry.cell[2 * i + 1] = static_cast<unsigned char>(code >> 8);
    }
    entry.bytes = 2 * length;
}

// The field's bytes as the characters of the same value. A short field
// (every one of a real record) is widened sixteen bytes at a time with no
// test per byte, when the record and the line have room for all sixteen;
// what lies past the field is overwritten by the next cell.
void putBytes(Utf16Line& line, const char* record, const FieldSpan& span)
{
    constexpr std::size_t BLOCK = 16;
    unsigned char* out = line.bytes + line.used;
    const char* in = record + span.start;
    if (span.length <= BLOCK && span.start + BLOCK <= STATION_RECORD_SIZE
        && line.used + 2 * BLOCK <= sizeof line.bytes) {
        for (std::size_t i = 0; i < BLOCK; ++i) {
            out[2 * i] = static_cast<unsigned char>(in[i]);
            out[2 * i + 1] = 0;
        }
    } else if (line.used + 2 * span.length <= sizeof line.bytes) {
        for (std::size_t i = 0; i < span.length; ++i) {
            out[2 * i] = static_cast<unsigned char>(in[i]);
            out[2 * i + 1] = 0;
        }
    } else {
        return; // never write past the end
    }
    line.used += 2 * span.length;
}

// Puts the text of the field at `span` converted as `cell` says, as
// convertFieldText gives it. Without a memo, or for a text the memo cannot
// hold, it is simply converted.
void putCell(Utf16Line& line, ConversionMemo* memo, const CellPlan& cell, const char* record,
             const FieldSpan& span)
{
    if (!cell.converted) {
        // convertFieldText would copy the text unchanged (a field is never
        // longer than its room): its bytes go straight into the line.
        putBytes(line, record, span);
        return;
    }
    const std::uint64_t packed = memo != nullptr && cell.remembered ? packField(record, span) : 0;
    const std::uint64_t key = packed | cell.memoTag;
    const std::size_t slot = static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> (64 - MEMO_BITS));
    if (packed != 0) {
        const MemoEntry& entry = memo->entries[slot];
        if (entry.key == key && line.used + sizeof entry.cell <= sizeof line.bytes) {
            std::memcpy(line.bytes + line.used, entry.cell, sizeof entry.cell);
            line.used += entry.bytes;
            return;
        }
    }
    wchar_t text[STATION_FIELD_SIZE];
    widenField(record, span, text);
    wchar_t value[VALUE_TEXT_SIZE];
    const std::size_t length = convertFieldText(cell.quantity, cell.code, text, value, VALUE_TEXT_SIZE);
    put(line, value);
    if (packed != 0)
        remember(memo->entries[slot], key, value, length);
}

// The record is split, not parsed into StationFields: the row reads each
// field's bytes where they stand, and only a date, or a value the memo does
// not know, is widened to text.
int writeRow(const StationRecord& slot, std::FILE* file, const ExportRequest& request, const RowPlan& plan,
             ConversionMemo* memo)
{
    if (slot.text[0] == '\0')
        return 1;
    StationFieldSpans spans;
    splitStationRecord(slot.text, STATION_RECORD_SIZE, spans);
    wchar_t date[STATION_FIELD_SIZE];
    widenField(slot.text, spans.field[StationFields::recordDate], date);
    if (!recordInPeriod(date, request))
        return 1;

    Utf16Line line;
    line.used = 0;
    putAscii(line, " ");
    for (int i = 0; i < EXPORT_COLUMN_COUNT; ++i) {
        const CellPlan& cell = plan.cells[i];
        if (i > 0)
            putAscii(line, " \t ");
        if (cell.field != NO_FIELD)
            putCell(line, memo, cell, slot.text, spans.field[cell.field]);
    }
    putAscii(line, " \n");
    return writeLine(file, line);
}

} // namespace

ExportWrite exportWrite = writeToStream;

int writeExportHeader(std::FILE* file, const UnitSettings& units)
{
    static const unsigned char BYTE_ORDER_MARK[2] = {0xFF, 0xFE};
    if (exportWrite(BYTE_ORDER_MARK, sizeof BYTE_ORDER_MARK, file) != sizeof BYTE_ORDER_MARK)
        return 0;

    Utf16Line line;
    line.used = 0;
    for (int i = 0; i < EXPORT_COLUMN_COUNT; ++i) {
        if (i > 0)
            put(line, L'\t');
        const bool quoted = isTwoLines(EXPORT_COLUMNS[i].title);
        if (quoted)
            put(line, L'"');
        put(line, EXPORT_COLUMNS[i].title);
        if (quoted)
            put(line, L'"');
    }
    put(line, L'\n');
    for (int i = 0; i < EXPORT_COLUMN_COUNT; ++i) {
        put(line, i > 0 ? L"\t " : L" ");
        putUnitCell(line, EXPORT_COLUMNS[i].unit, units);
        put(line, L' ');
    }
    put(line, L'\n');
    return writeLine(file, line);
}

int writeExportRow(const StationRecord& slot, std::FILE* file, const ExportRequest& request,
                   const UnitSettings& units)
{
    RowPlan plan;
    makeRowPlan(plan, request.dataSets, units);
    return writeRow(slot, file, request, plan, nullptr);
}

namespace {

const StationRecord* nextSlot(void* context)
{
    auto& source = *static_cast<SlotSource*>(context);
    return source.taken < source.count ? &source.slots[source.taken++] : nullptr;
}

} // namespace

ExportSource slotExportSource(SlotSource& slots)
{
    return ExportSource{nextSlot, &slots};
}

ExportOutcome writeExportFile(std::FILE* file, const StationRecord* slots, std::size_t count,
                              const ExportRequest& request, const LinkFlag& cancel)
{
    SlotSource source{slots, count, 0};
    return writeExportFile(file, slotExportSource(source), request, cancel);
}

ExportOutcome writeExportFile(std::FILE* file, ExportSource source, const ExportRequest& request,
                              const LinkFlag& cancel)
{
    // A stream that keeps its small default buffer is slower, not wrong.
    std::setvbuf(file, nullptr, _IOFBF, STREAM_BUFFER_SIZE);
    // Without room for the memo every value is simply converted.
    ConversionMemo* memo = new (std::nothrow) ConversionMemo{};
    ExportOutcome outcome = ExportOutcome::written;
    RowPlan plan;
    makeRowPlan(plan, request.dataSets, currentUnitSettings());
    if (writeExportHeader(file, plan.units) == 0) {
        outcome = ExportOutcome::failed;
    } else {
        while (const StationRecord* record = source.next(source.context)) {
            // The user may change the units between two rows.
            const UnitSettings units = currentUnitSettings();
            if (!sameUnits(units, plan.units))
                makeRowPlan(plan, request.dataSets, units);
            if (writeRow(*record, file, request, plan, memo) == 0) {
                outcome = ExportOutcome::failed;
                break;
            }
            if (cancel != 0) {
                outcome = ExportOutcome::cancelled;
                break;
            }
        }
    }
    delete memo;
    // The close writes what is still buffered; a failure there loses rows.
    if (std::fclose(file) != 0 && outcome == ExportOutcome::written)
        outcome = ExportOutcome::failed;
    // A cancel that came with the last row, or with no row at all, still
    // means no file: the status bar took it at once.
    if (outcome == ExportOutcome::written && cancel != 0)
        outcome = ExportOutcome::cancelled;
    return outcome;
}
