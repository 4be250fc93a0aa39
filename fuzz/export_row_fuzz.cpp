// The export file writer: the header for any unit codes, one row per
// history slot, and the whole file through its conversion memo, on memory
// streams. The memo must never change a digit, not even when the user
// changes the units while the file is written; every row keeps its 33
// columns, and a failing write always fails the export.
//
// Input: six unit codes, six more that the user switches to during the
// write numbered by the next byte (0: never), two bytes of data set boxes
// (bit 15 Whole period), the number of the write that fails (0: none), the
// start and end date texts (each a length byte and its characters), then
// the slots' bytes, one slot per line.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/export_file.h"
#include "fuzz/fuzz_support.h"

namespace {

constexpr std::size_t MAX_SLOTS = 16;

struct MemoryFile {
    std::FILE* file;
    char* bytes;
    std::size_t size;
};

MemoryFile openMemory()
{
    MemoryFile memory{nullptr, nullptr, 0};
    memory.file = open_memstream(&memory.bytes, &memory.size);
    FUZZ_CHECK(memory.file != nullptr);
    return memory;
}

// Writes that count themselves, switch the units after the chosen one and
// fail from the chosen one on.
std::size_t writesSeen = 0;
std::size_t failingWrite = 0;
std::size_t writesAfterFailure = 0;
std::size_t switchingWrite = 0;
UnitSettings switchedUnits;

std::size_t countingWrite(const void* data, std::size_t size, std::FILE* file)
{
    ++writesSeen;
    if (writesSeen == switchingWrite)
        setCurrentUnitSettings(switchedUnits);
    if (failingWrite != 0 && writesSeen >= failingWrite) {
        if (writesSeen > failingWrite)
            ++writesAfterFailure;
        // A short write, as a full disk gives.
        return std::fwrite(data, 1, size / 2, file);
    }
    return std::fwrite(data, 1, size, file);
}

std::size_t countChar(const char* bytes, std::size_t size, char16_t c)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        if (static_cast<unsigned char>(bytes[i]) == (c & 0xFF) && static_cast<unsigned char>(bytes[i + 1]) == c >> 8)
            ++count;
    return count;
}

bool endsWithNewLine(const char* bytes, std::size_t size)
{
    return size >= 2 && bytes[size - 2] == '\n' && bytes[size - 1] == 0;
}

// A slot's text up to its terminator holds no control character: then
// the row's structure can be checked to the cell.
bool plainText(const StationRecord& slot)
{
    for (std::size_t i = 0; i < STATION_RECORD_SIZE && slot.text[i] != '\0'; ++i)
        if (static_cast<unsigned char>(slot.text[i]) < 0x20)
            return false;
    return true;
}

void checkRow(const StationRecord& slot, const char* bytes, std::size_t size, const ExportRequest& request)
{
    FUZZ_CHECK(size % 2 == 0);
    if (slot.text[0] == '\0') {
        FUZZ_CHECK(size == 0);
        return;
    }
    if (request.dataSets.wholePeriod != 0)
        FUZZ_CHECK(size > 0);
    if (size == 0)
        return;
    FUZZ_CHECK(endsWithNewLine(bytes, size));
    if (plainText(slot)) {
        FUZZ_CHECK(countChar(bytes, size, u'\t') == EXPORT_COLUMN_COUNT - 1);
        FUZZ_CHECK(countChar(bytes, size, u'\n') == 1);
        // Every cell is padded: a blank after each TAB and before it.
        for (std::size_t i = 2; i + 2 < size; i += 2)
            if (bytes[i] == '\t' && bytes[i + 1] == 0)
                FUZZ_CHECK(bytes[i - 2] == ' ' && bytes[i + 2] == ' ');
    }
}

void checkHeader(const UnitSettings& units)
{
    MemoryFile memory = openMemory();
    FUZZ_CHECK(writeExportHeader(memory.file, units) == 1);
    std::fclose(memory.file);
    FUZZ_CHECK(memory.size >= 2 && static_cast<unsigned char>(memory.bytes[0]) == 0xFF
               && static_cast<unsigned char>(memory.bytes[1]) == 0xFE);
    FUZZ_CHECK(memory.size % 2 == 0);
    FUZZ_CHECK(endsWithNewLine(memory.bytes, memory.size));
    // Two rows of 33 cells; the two-line titles hold CR LF inside quotes.
    FUZZ_CHECK(countChar(memory.bytes + 2, memory.size - 2, u'\t') == 2 * (EXPORT_COLUMN_COUNT - 1));
    FUZZ_CHECK(countChar(memory.bytes + 2, memory.size - 2, u'\n')
               == 2 + countChar(memory.bytes + 2, memory.size - 2, u'\r'));
    std::free(memory.bytes);
}

UnitSettings takeUnits(FuzzInput& input)
{
    UnitSettings units;
    units.temperatureUnit = takeByte(input);
    units.rainUnit = takeByte(input);
    units.pressureUnit = takeByte(input);
    units.windUnit = takeByte(input);
    units.pressureType = takeByte(input);
    units.directionUnit = takeByte(input);
    return units;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input{data, size};
    const UnitSettings units = takeUnits(input);
    switchedUnits = takeUnits(input);
    const std::uint8_t switchAt = takeByte(input);
    const unsigned boxes = static_cast<unsigned>(takeByte(input)) | static_cast<unsigned>(takeByte(input)) << 8;
    const std::uint8_t failAt = takeByte(input);

    ExportRequest request{};
    DataSetSelection& sets = request.dataSets;
    std::uint32_t* const flags[DATA_SET_COUNT] = {
        &sets.pressureSet, &sets.outdoorSet,    &sets.indoorSet,     &sets.dewPointSet,   &sets.windSet,
        &sets.heatIndexSet, &sets.rainSet,      &sets.uvSet,         &sets.channelSet[0], &sets.channelSet[1],
        &sets.channelSet[2], &sets.channelSet[3], &sets.channelSet[4], &sets.channelSet[5], &sets.channelSet[6],
    };
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        *flags[i] = (boxes >> i) & 1;
    sets.wholePeriod = (boxes >> 15) & 1;
    char date[EXPORT_DATE_SIZE];
    wchar_t* const dates[2] = {request.exportStartDate, request.exportEndDate};
    for (wchar_t* target : dates) {
        const std::size_t length = takeText(input, EXPORT_DATE_SIZE - 1, date);
        for (std::size_t i = 0; i <= length; ++i)
            target[i] = static_cast<wchar_t>(static_cast<unsigned char>(date[i]));
    }

    // The slots, exactly as many as there are lines, on the heap.
    std::vector<StationRecord> slots;
    while (input.size > 0 && slots.size() < MAX_SLOTS) {
        const void* end = std::memchr(input.data, '\n', input.size);
        const std::size_t line = end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - input.data)
                                     : input.size;
        StationRecord slot{};
        std::memcpy(slot.text, input.data, line < STATION_RECORD_SIZE ? line : STATION_RECORD_SIZE);
        slots.push_back(slot);
        input.data += end ? line + 1 : line;
        input.size -= end ? line + 1 : line;
    }

    exportWrite = countingWrite;
    writesSeen = 0;
    failingWrite = 0;
    switchingWrite = 0;
    checkHeader(units);
    checkHeader(DEFAULT_UNIT_SETTINGS);

    // Row by row, without the memo. The file's header is writes 1 and 2,
    // so a row that is write n > switchAt has the switched units.
    writesSeen = 0;
    MemoryFile rows = openMemory();
    std::size_t rowsWritten = 0;
    for (const StationRecord& slot : slots) {
        MemoryFile row = openMemory();
        const bool switched = switchAt != 0 && 2 + rowsWritten + 1 > switchAt;
        FUZZ_CHECK(writeExportRow(slot, row.file, request, switched ? switchedUnits : units) == 1);
        std::fclose(row.file);
        checkRow(slot, row.bytes, row.size, request);
        if (row.size > 0)
            ++rowsWritten;
        std::fwrite(row.bytes, 1, row.size, rows.file);
        std::free(row.bytes);
    }
    std::fclose(rows.file);
    FUZZ_CHECK(writesSeen == rowsWritten);

    // The whole file, through the memo, holds the header and the same rows.
    setCurrentUnitSettings(units);
    switchingWrite = switchAt;
    const LinkFlag notCancelled{0};
    writesSeen = 0;
    MemoryFile whole = openMemory();
    FUZZ_CHECK(writeExportFile(whole.file, slots.data(), slots.size(), request, notCancelled)
               == ExportOutcome::written);
    const std::size_t fileWrites = writesSeen;
    FUZZ_CHECK(fileWrites == 2 + rowsWritten); // byte-order mark, header, rows
    switchingWrite = 0;
    MemoryFile header = openMemory();
    writeExportHeader(header.file, units);
    std::fclose(header.file);
    FUZZ_CHECK(whole.size == header.size + rows.size);
    FUZZ_CHECK(std::memcmp(whole.bytes, header.bytes, header.size) == 0);
    FUZZ_CHECK(std::memcmp(whole.bytes + header.size, rows.bytes, rows.size) == 0);
    std::free(whole.bytes);
    std::free(header.bytes);
    std::free(rows.bytes);
    setCurrentUnitSettings(units);

    // A write that fails ends the export as failed, and nothing is written
    // after it.
    failingWrite = failAt == 0 ? 0 : 1 + failAt % fileWrites;
    writesSeen = 0;
    writesAfterFailure = 0;
    MemoryFile failing = openMemory();
    const ExportOutcome outcome = writeExportFile(failing.file, slots.data(), slots.size(), request, notCancelled);
    FUZZ_CHECK(outcome == (failingWrite == 0 ? ExportOutcome::written : ExportOutcome::failed));
    FUZZ_CHECK(writesAfterFailure == 0);
    std::free(failing.bytes);

    // A cancel stops the file after the first slot, and an empty file is
    // cancelled all the same.
    failingWrite = 0;
    const LinkFlag cancelled{1};
    MemoryFile stopped = openMemory();
    const ExportOutcome stop = writeExportFile(stopped.file, slots.data(), slots.size(), request, cancelled);
    FUZZ_CHECK(stop == ExportOutcome::cancelled);
    std::free(stopped.bytes);

    setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
    return 0;
}
