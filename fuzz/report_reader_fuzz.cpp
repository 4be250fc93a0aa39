// The reader's per-report algorithm over a sequence of 65-byte reports, with
// a small history store so records beyond its end are exercised.
//
// Input byte 0 sets the start:
//   bit 0     an export file is chosen (else the path is empty)
//   bit 1     no history store at all (null slots)
//   bits 2-3  slots in the store: 0, 1, 3 or 8
//   bit 4     transferCancelled is set
//   bit 5     a history download is requested
//   bit 6     after the reports the user exports again, and the console
//             sends a whole download: whatever came before, every record
//             of it must be stored once, in order
// Then 65-byte reports; a short tail is ignored. Byte 0 of a report is its
// report id, which the reader never reads, so it steers the run instead:
//   bit 0     seal the checksum (the fuzzer cannot guess CRCs itself)
//   bit 1     the user cancels before it (status bar cross)
//   bit 2     the export thread ends before it (historyActive = 0)
//   bit 3     the user exports again before it, if the Export button takes
//             it then (flags reset, store cleared, history requested)
//   bit 4     the export path is switched between chosen and empty
//   bit 5     its packet number is the one its kind's assembly expects next
//   bit 6     its payload length is held to what a report can carry
//   bit 7     the console goes quiet before it (the reader's quiet timer)
// Bits 5 and 6 let the fuzzer build long messages, up to the end of the
// record buffer, without guessing each sequence byte.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "link/crc16.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "sim/report_encoder.h"

namespace {

struct Run {
    ReportReader reader;
    StationRecord* slots;
    std::size_t slotCount;

    // Per report.
    int commandsWritten;
    const CommandReport* lastCommand;
    bool quiet; // handleHistoryQuiet runs: it may tell the console to stop

    // The download as the deliveries tell it.
    bool downloadOpen; // TOTAL delivered, DONE not yet
    std::intptr_t total;
    std::intptr_t lastProgress;
    // Once a download is done the export reads the store: it must not
    // change until the next download announces itself.
    bool storeFrozen;
    std::vector<unsigned char> frozenStore;
    int downloadsDone;
};

bool isAnswer(const CommandReport& command)
{
    return command == CMD_ACK || command == CMD_NAK || command == CMD_RECORD_ACK
        || command == CMD_RECORD_NAK;
}

int recordCommand(void* context, const CommandReport& command)
{
    Run& run = *static_cast<Run*>(context);
    if (run.quiet) {
        FUZZ_CHECK(command == CMD_STOP);
        return 1;
    }
    FUZZ_CHECK(isAnswer(command));
    ++run.commandsWritten;
    run.lastCommand = &command;
    return 1;
}

// A delivered text must end within its buffer: the receiver reads it with
// the C string functions.
void checkTerminated(const std::uint8_t* buffer, std::size_t size)
{
    FUZZ_CHECK(std::memchr(buffer, 0, size) != nullptr);
}

std::size_t storeBytes(const Run& run)
{
    return run.slots ? run.slotCount * sizeof(StationRecord) : 0;
}

void freezeStore(Run& run)
{
    run.storeFrozen = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(run.slots);
    run.frozenStore.assign(bytes, bytes + storeBytes(run));
}

void checkFrozenStore(const Run& run)
{
    if (!run.storeFrozen || storeBytes(run) == 0)
        return;
    FUZZ_CHECK(std::memcmp(run.frozenStore.data(), run.slots, storeBytes(run)) == 0);
}

void recordDelivery(void* context, unsigned message, std::intptr_t lParam)
{
    Run& run = *static_cast<Run*>(context);
    ReportReader& reader = run.reader;
    switch (message) {
    case WM_LIVE_RECORD:
        FUZZ_CHECK(lParam == reinterpret_cast<std::intptr_t>(reader.recordBuffer));
        checkTerminated(reader.recordBuffer, sizeof reader.recordBuffer);
        break;
    case WM_FRAME_FB:
        FUZZ_CHECK(lParam == reinterpret_cast<std::intptr_t>(reader.fbBuffer));
        checkTerminated(reader.fbBuffer, sizeof reader.fbBuffer);
        break;
    case WM_FRAME_F1:
        FUZZ_CHECK(lParam == reinterpret_cast<std::intptr_t>(reader.f1Buffer));
        checkTerminated(reader.f1Buffer, sizeof reader.f1Buffer);
        break;
    case WM_HISTORY_TOTAL:
        // A new download only with a chosen file and no cancel in force.
        FUZZ_CHECK(reader.exportPath != nullptr && reader.exportPath[0] != L'\0');
        FUZZ_CHECK(transferCancelled.load() == 0);
        FUZZ_CHECK(historyRequested.load() == HISTORY_TAKEN);
        FUZZ_CHECK(historyActive.load() == 1);
        FUZZ_CHECK(lParam >= 1 && lParam <= 0xFFFF);
        FUZZ_CHECK(static_cast<std::uint32_t>(lParam) == historyTotal.load());
        checkFrozenStore(run);
        run.storeFrozen = false;
        run.downloadOpen = true;
        run.total = lParam;
        run.lastProgress = 0;
        break;
    case WM_HISTORY_PROGRESS:
        // Counts up, never past the announced total, and stops once done.
        FUZZ_CHECK(run.downloadOpen);
        FUZZ_CHECK(lParam > run.lastProgress && lParam <= run.total);
        run.lastProgress = lParam;
        break;
    case WM_HISTORY_DONE:
        FUZZ_CHECK(run.downloadOpen);
        FUZZ_CHECK(run.lastProgress == run.total);
        FUZZ_CHECK(historyComplete.load() == 1);
        FUZZ_CHECK(reader.remaining == 0);
        // The request is answered: nothing more is taken into the store.
        FUZZ_CHECK(historyRequested.load() == HISTORY_NOT_REQUESTED);
        run.downloadOpen = false;
        ++run.downloadsDone;
        freezeStore(run);
        break;
    case WM_PROGRESS_CLEAR:
        // The console refused the transfer: whatever ran has ended.
        FUZZ_CHECK(transferCancelled.load() == 1);
        FUZZ_CHECK(historyActive.load() == 0);
        run.downloadOpen = false;
        break;
    case WM_NO_HISTORY:
    case WM_CLOCK_REQUEST:
        break;
    default:
        FUZZ_CHECK(!"the reader delivered a message of no one's");
    }
}

void sealChecksum(std::uint8_t* report)
{
    const std::uint16_t crc = crc16(report, 1, 62);
    report[CRC_HIGH_BYTE] = static_cast<std::uint8_t>(crc >> 8);
    report[CRC_LOW_BYTE] = static_cast<std::uint8_t>(crc & 0xFF);
}

bool isIntact(const std::uint8_t* report)
{
    const std::uint16_t crc = crc16(report, 1, 62);
    return report[CRC_HIGH_BYTE] == (crc >> 8) && report[CRC_LOW_BYTE] == (crc & 0xFF);
}

// The number of the last packet the report's kind has taken.
std::uint8_t expectedPacket(const ReportReader& reader, const std::uint8_t* report)
{
    switch (report[KIND_BYTE]) {
    case KIND_OBSERVATION:
        return reader.record.packet;
    case KIND_UPLOAD_WU:
        return reader.fb.packet;
    case KIND_UPLOAD_WC:
        return reader.f1.packet;
    default:
        return 0;
    }
}

// What the Export button does once it takes a press: the flags reset, the
// store cleared while no request stands, then the history requested.
void startExport(Run& run)
{
    withdrawHistoryRequest();
    transferCancelled = 0;
    historyComplete = 0;
    if (run.slots)
        std::memset(run.slots, 0, storeBytes(run));
    run.storeFrozen = false;
    run.downloadOpen = false;
    historyRequested = HISTORY_REQUESTED;
}

// What the main thread and the export thread do between two reports.
void applyControl(Run& run, std::uint8_t control, wchar_t* exportPath)
{
    if (control & 0x02) {
        cancelHistoryTransfer();
        run.downloadOpen = false;
    }
    if (control & 0x04)
        historyActive = 0;
    // The button is refused while a download runs.
    if ((control & 0x08) && historyActive == 0 && historyRequested != HISTORY_TAKEN)
        startExport(run);
    if (control & 0x10)
        exportPath[0] = exportPath[0] == L'\0' ? L'C' : L'\0';
}

void checkAfterReport(const Run& run, const std::uint8_t* report, bool intact)
{
    const ReportReader& reader = run.reader;
    FUZZ_CHECK(run.commandsWritten <= 1);
    // Anything but an observation is answered every time, or the console
    // would resend it for ever.
    if (report[KIND_BYTE] != KIND_OBSERVATION) {
        FUZZ_CHECK(run.commandsWritten == 1);
        if (intact)
            FUZZ_CHECK(*run.lastCommand == CMD_ACK);
    }
    FUZZ_CHECK(reader.remaining >= 0);
    FUZZ_CHECK(reader.record.offset < STATION_RECORD_SIZE);
    FUZZ_CHECK(reader.fb.offset < UPLOAD_TEXT_SIZE);
    FUZZ_CHECK(reader.f1.offset < UPLOAD_TEXT_SIZE);
    FUZZ_CHECK(reader.recordFailures < 10 && reader.linkFailures < 10);
    checkFrozenStore(run);
}

std::string cleanRecord(int number)
{
    std::string text = "clean record " + std::to_string(number);
    while (text.size() < 150)
        text += " 12.5";
    return text;
}

// The user cancels whatever runs, exports again, and the console sends a
// download of `count` records, every packet intact and in order.
void cleanDownload(Run& run, wchar_t* exportPath)
{
    constexpr int COUNT = 4;
    cancelHistoryTransfer();
    exportPath[0] = L'C';
    startExport(run);
    const int doneBefore = run.downloadsDone;
    for (int n = 1; n <= COUNT; ++n) {
        const std::string text = cleanRecord(n);
        EncodedMessage message;
        FUZZ_CHECK(encodeMessage(KIND_OBSERVATION, observationHeader(COUNT, static_cast<std::uint16_t>(n)),
                                 reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), message)
                   > 1);
        for (std::size_t i = 0; i < message.count; ++i) {
            run.commandsWritten = 0;
            handleInputReport(run.reader, message.reports[i].data());
            FUZZ_CHECK(run.commandsWritten == 1 && *run.lastCommand == CMD_RECORD_ACK);
        }
        // Each record counts exactly one: none lost, none counted twice.
        FUZZ_CHECK(run.total == COUNT && run.lastProgress == n);
    }
    FUZZ_CHECK(run.downloadsDone == doneBefore + 1);
    for (std::size_t i = 0; run.slots && i < run.slotCount && i < COUNT; ++i)
        FUZZ_CHECK(cleanRecord(static_cast<int>(i) + 1) == run.slots[i].text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input{data, size};
    const std::uint8_t start = takeByte(input);

    static const std::size_t SLOT_COUNTS[4] = {0, 1, 3, 8};
    Run run{};
    run.slotCount = SLOT_COUNTS[(start >> 2) & 3];
    // Exactly the store's size on the heap, so AddressSanitizer sees a slot
    // written past its end.
    std::vector<StationRecord> store(run.slotCount);
    run.slots = (start & 0x02) ? nullptr : store.data();

    wchar_t exportPath[16] = L"C:\\a.csv";
    if (!(start & 0x01))
        exportPath[0] = L'\0';

    transferCancelled = (start & 0x10) ? 1 : 0;
    historyRequested = (start & 0x20) ? HISTORY_REQUESTED : HISTORY_NOT_REQUESTED;
    historyActive = 0;
    historyTotal = 0;
    historyComplete = 0;
    initReportReader(run.reader, ReaderOutput{recordCommand, recordDelivery, &run}, run.slots, run.slotCount,
                     exportPath);

    std::uint8_t report[INPUT_REPORT_SIZE];
    while (input.size >= INPUT_REPORT_SIZE) {
        std::memcpy(report, input.data, INPUT_REPORT_SIZE);
        input.data += INPUT_REPORT_SIZE;
        input.size -= INPUT_REPORT_SIZE;
        const std::uint8_t control = report[0];
        applyControl(run, control, exportPath);
        if (control & 0x20)
            report[SEQUENCE_BYTE] = static_cast<std::uint8_t>((report[SEQUENCE_BYTE] & 0xF0)
                                                              | ((expectedPacket(run.reader, report) + 1) & 0x0F));
        if (control & 0x40)
            report[LENGTH_BYTE] = static_cast<std::uint8_t>(report[LENGTH_BYTE] % (MAX_PAYLOAD + 1));
        if (control & 0x01)
            sealChecksum(report);
        if (control & 0x80) {
            run.quiet = true;
            handleHistoryQuiet(run.reader); // the console went quiet before this report
            run.quiet = false;
        }
        run.commandsWritten = 0;
        run.lastCommand = nullptr;
        handleInputReport(run.reader, report);
        checkAfterReport(run, report, isIntact(report));
    }

    if (start & 0x40)
        cleanDownload(run, exportPath);

    // A slot's last byte is the record's terminator; the reader never
    // writes it.
    for (std::size_t i = 0; run.slots && i < run.slotCount; ++i)
        FUZZ_CHECK(run.slots[i].text[STATION_RECORD_SIZE - 1] == '\0');
    return 0;
}
