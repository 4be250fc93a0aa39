#include "link/report_reader.h"

#include <cstring>

#include "link/crc16.h"
#include "link/link_flags.h"
#include "link/messages.h"

namespace {

// The tenth consecutive checksum failure is acknowledged and the packet given
// up, so a console that keeps sending damage cannot stall the link.
constexpr std::uint32_t MAX_FAILURES = 10;

// Record numbers are 16-bit; this one cannot collide with a real one, so the
// first record given up is always counted, whatever its number.
constexpr std::uint32_t NO_RECORD_GIVEN_UP = 0xFFFFFFFFu;

enum class AssemblyStep { Dropped, Assembling, Complete, Overflowed };

bool isIntact(const std::uint8_t* report)
{
    const std::uint16_t crc = crc16(report, 1, 62);
    return report[CRC_HIGH_BYTE] == (crc >> 8) && report[CRC_LOW_BYTE] == (crc & 0xFF);
}

std::uint32_t bigEndian16(const std::uint8_t* bytes)
{
    return (static_cast<std::uint32_t>(bytes[0]) << 8) | bytes[1];
}

void answer(ReportReader& reader, const CommandReport& command)
{
    if (reader.output.writeCommand)
        reader.output.writeCommand(reader.output.context, command);
}

void deliver(ReportReader& reader, unsigned message, std::intptr_t lParam = 0)
{
    if (reader.output.deliver)
        reader.output.deliver(reader.output.context, message, lParam);
}

std::intptr_t bufferAddress(const std::uint8_t* buffer)
{
    return reinterpret_cast<std::intptr_t>(buffer);
}

void resetAssembly(Assembly& assembly)
{
    assembly.packet = 0;
    assembly.offset = 0;
    assembly.overflowed = false;
}

// Takes the payload of one intact packet into an assembly buffer of
// `capacity` bytes. The last byte of the buffer is never written, so an
// assembled text is always NUL-terminated. A message that outgrows the buffer
// is followed to its last packet and then reported as Overflowed, never
// delivered cut short.
AssemblyStep assemble(Assembly& assembly, std::uint8_t* buffer, std::size_t capacity,
                      const std::uint8_t* report, bool firstPacketMayFinish)
{
    const std::uint8_t number = report[SEQUENCE_BYTE] & 0x0F;
    const std::uint8_t count = report[SEQUENCE_BYTE] >> 4;
    const std::size_t length = report[LENGTH_BYTE];
    const std::uint8_t* payload = report + PAYLOAD_START;

    // A length the report cannot hold means the packet is garbage, though its
    // checksum passed (the console computes it over whatever it sent). It was
    // acknowledged so the console moves on; the message it belonged to is lost.
    if (length > MAX_PAYLOAD) {
        resetAssembly(assembly);
        return AssemblyStep::Dropped;
    }
    // A first packet always starts a message: the one it interrupts lost
    // its tail and cannot be completed anyway.
    if (number == 1)
        assembly.packet = 0;
    ++assembly.packet;
    if (assembly.packet != number) {
        resetAssembly(assembly);
        return AssemblyStep::Dropped;
    }
    if (number == 1) {
        std::memset(buffer, 0, capacity);
        std::memcpy(buffer, payload, length);
        assembly.offset = static_cast<std::uint32_t>(length);
        assembly.overflowed = false;
        if (!firstPacketMayFinish || count != number)
            return AssemblyStep::Assembling;
    } else {
        if (!assembly.overflowed && assembly.offset + length < capacity) {
            std::memcpy(buffer + assembly.offset, payload, length);
            assembly.offset += static_cast<std::uint32_t>(length);
        } else {
            assembly.overflowed = true;
        }
        if (count != number)
            return AssemblyStep::Assembling;
    }
    const bool overflowed = assembly.overflowed;
    resetAssembly(assembly);
    return overflowed ? AssemblyStep::Overflowed : AssemblyStep::Complete;
}

// A history record has ended: store it (unless it overflowed) in the next
// slot, count it and any records given up before it, and complete the
// download when nothing more is expected.
void finishHistoryRecord(ReportReader& reader, bool store)
{
    // The download is already complete: records beyond the announced count
    // must not touch the store the export is reading.
    if (reader.remaining <= 0) {
        reader.skippedRecords = 0;
        return;
    }
    const std::int64_t total = historyTotal.load();
    const std::int64_t slot = total - reader.remaining;
    if (store && reader.historySlots && slot >= 0
        && static_cast<std::uint64_t>(slot) < reader.historySlotCount)
        std::memcpy(reader.historySlots[slot].text, reader.recordBuffer, STATION_RECORD_SIZE);

    // A record given up and then resent intact is counted twice, which can
    // take `remaining` below zero; the download is complete all the same.
    std::int64_t left = static_cast<std::int64_t>(reader.remaining) - 1 - reader.skippedRecords;
    if (left < 0)
        left = 0;
    reader.remaining = static_cast<std::int32_t>(left);
    reader.skippedRecords = 0;
    deliver(reader, WM_HISTORY_PROGRESS, static_cast<std::intptr_t>(total - reader.remaining));
    if (reader.remaining == 0) {
        historyComplete = 1;
        deliver(reader, WM_HISTORY_DONE);
    }
}

// A history record that will never arrive whole (given up, or a packet of
// it lost) is counted once against the download, whatever number of its
// packets show it. Normally the next record takes the count along; when
// nothing more is expected, the download completes here.
void skipHistoryRecord(ReportReader& reader, std::uint32_t recordNumber)
{
    // Outside a download (or once it is complete) nothing is owed: a record
    // counted here would be taken from the next download's last one.
    if (historyActive == 0 || reader.remaining <= 0)
        return;
    if (recordNumber != reader.lastGivenUp)
        ++reader.skippedRecords;
    reader.lastGivenUp = recordNumber;
    if (static_cast<std::int64_t>(reader.remaining) > reader.skippedRecords)
        return;
    reader.remaining = 0;
    reader.skippedRecords = 0;
    deliver(reader, WM_HISTORY_PROGRESS, static_cast<std::intptr_t>(historyTotal.load()));
    historyComplete = 1;
    deliver(reader, WM_HISTORY_DONE);
}

bool isFirstPacket(const std::uint8_t* report)
{
    return (report[SEQUENCE_BYTE] & 0x0F) == 1;
}

// Whether history frames are wanted at all: a file is chosen and no cancel
// is in force. Unwanted ones get no answer.
bool historyWanted(const ReportReader& reader)
{
    return transferCancelled == 0 && reader.exportPath && reader.exportPath[0] != 0;
}

// The first history packet while no download runs (the first packet of a
// record, as a download always begins) starts one from clean
// bookkeeping: a half-assembled message or give-ups from before (a
// cancelled download, an unfinished live observation, a packet the console
// repeated after the last download ended) belong to no record of this one.
void beginHistoryDownload(ReportReader& reader, std::uint32_t count)
{
    resetAssembly(reader.record);
    reader.recordNumber = 0;
    reader.skippedRecords = 0;
    reader.lastGivenUp = NO_RECORD_GIVEN_UP;
    historyTotal = count;
    reader.remaining = static_cast<std::int32_t>(count);
    deliver(reader, WM_HISTORY_TOTAL, static_cast<std::intptr_t>(count));
    historyActive = 1;
}

void handleObservation(ReportReader& reader, const std::uint8_t* report, bool intact)
{
    // The console's "no history" answer is recognised whatever its checksum
    // and never answered.
    if (report[2] == 0xFF && report[3] == 0xFF && report[4] == 0xFF && report[5] == 0xFF) {
        deliver(reader, WM_NO_HISTORY);
        return;
    }
    if (!intact) {
        ++reader.recordFailures;
        if (reader.recordFailures < MAX_FAILURES) {
            answer(reader, CMD_RECORD_NAK);
            return;
        }
        answer(reader, CMD_RECORD_ACK);
        reader.recordFailures = 0;
        resetAssembly(reader.record);
        // Only a history record given up counts against the download. A live
        // observation given up must not, or the next download would complete
        // one record early and lose its last record.
        const std::uint32_t count = bigEndian16(report + 2);
        if (count == 0)
            return;
        // The first record of a download may be the one given up: it
        // starts the download like an intact packet would, so it is owed.
        if (historyActive == 0 && historyWanted(reader) && isFirstPacket(report))
            beginHistoryDownload(reader, count);
        skipHistoryRecord(reader, bigEndian16(report + 4));
        return;
    }

    // Live or history is decided from this packet, not by reading
    // historyActive back later: the main thread may clear that flag (cancel)
    // while the packet is being handled.
    const std::uint32_t count = bigEndian16(report + 2);
    const bool history = count != 0;
    if (!history) {
        transferCancelled = 0;
        historyActive = 0;
    } else {
        if (!historyWanted(reader))
            return;
        if (historyActive == 0 && !isFirstPacket(report)) {
            // The tail of a record from before (the console repeating a
            // packet whose answer came late): answered, so the console
            // moves on, and neither stored nor counted.
            answer(reader, CMD_RECORD_ACK);
            reader.recordFailures = 0;
            return;
        }
        if (historyActive == 0)
            beginHistoryDownload(reader, count);
    }
    answer(reader, CMD_RECORD_ACK);
    reader.recordFailures = 0;

    if (history) {
        // A first packet cutting into an unfinished record: that record lost
        // its tail and is counted as skipped.
        const std::uint32_t number = bigEndian16(report + 4);
        if (isFirstPacket(report) && reader.record.packet != 0 && reader.recordNumber != number)
            skipHistoryRecord(reader, reader.recordNumber);
        reader.recordNumber = number;
    }
    // The console never sends an observation in a single packet: a first
    // packet never ends one, whatever its sequence byte says.
    const AssemblyStep step =
        assemble(reader.record, reader.recordBuffer, STATION_RECORD_SIZE, report, false);
    if (step == AssemblyStep::Dropped && history) {
        // A packet went missing (or came twice, or out of order): the
        // console has moved on and the record can never be completed.
        skipHistoryRecord(reader, bigEndian16(report + 4));
        return;
    }
    if (step == AssemblyStep::Dropped || step == AssemblyStep::Assembling)
        return;
    if (history)
        finishHistoryRecord(reader, step == AssemblyStep::Complete);
    else if (step == AssemblyStep::Complete)
        deliver(reader, WM_LIVE_RECORD, bufferAddress(reader.recordBuffer));
}

void handleUploadText(ReportReader& reader, Assembly& assembly, std::uint8_t* buffer,
                      unsigned message, const std::uint8_t* report)
{
    if (assemble(assembly, buffer, UPLOAD_TEXT_SIZE, report, true) == AssemblyStep::Complete)
        deliver(reader, message, bufferAddress(buffer));
}

void handleOtherKind(ReportReader& reader, const std::uint8_t* report, bool intact)
{
    if (!intact) {
        ++reader.linkFailures;
        if (reader.linkFailures == MAX_FAILURES) {
            answer(reader, CMD_ACK);
            reader.linkFailures = 0;
            // Only the 0xFB assembly is abandoned here; a half-assembled
            // 0xF1 message survives and is dropped by its next packet if
            // the sequence broke.
            resetAssembly(reader.fb);
        } else {
            answer(reader, CMD_NAK);
        }
        return;
    }
    answer(reader, CMD_ACK);
    reader.linkFailures = 0;

    switch (report[KIND_BYTE]) {
    case KIND_STATUS:
        if (report[3] == 1)
            transferCancelled = 1;
        if (report[2] == STATUS_CLOCK_REQUEST)
            deliver(reader, WM_CLOCK_REQUEST);
        break;
    case KIND_UPLOAD_WU:
        handleUploadText(reader, reader.fb, reader.fbBuffer, WM_FRAME_FB, report);
        break;
    case KIND_UPLOAD_WC:
        handleUploadText(reader, reader.f1, reader.f1Buffer, WM_FRAME_F1, report);
        break;
    default:
        break; // unknown kinds are acknowledged and otherwise ignored
    }
}

} // namespace

void initReportReader(ReportReader& reader, ReaderOutput output, StationRecord* historySlots,
                      std::size_t historySlotCount, const wchar_t* exportPath)
{
    reader.output = output;
    reader.historySlots = historySlots;
    reader.historySlotCount = historySlotCount;
    reader.exportPath = exportPath;
    reader.linkFailures = 0;
    reader.recordFailures = 0;
    reader.lastGivenUp = NO_RECORD_GIVEN_UP;
    reader.skippedRecords = 0;
    reader.remaining = 0;
    reader.recordNumber = 0;
    resetAssembly(reader.record);
    resetAssembly(reader.fb);
    resetAssembly(reader.f1);
    std::memset(reader.recordBuffer, 0, sizeof reader.recordBuffer);
    std::memset(reader.fbBuffer, 0, sizeof reader.fbBuffer);
    std::memset(reader.f1Buffer, 0, sizeof reader.f1Buffer);
}

void handleInputReport(ReportReader& reader, const std::uint8_t* report)
{
    const bool intact = isIntact(report);
    if (report[KIND_BYTE] == KIND_OBSERVATION)
        handleObservation(reader, report, intact);
    else
        handleOtherKind(reader, report, intact);
}

void handleHistoryQuiet(ReportReader& reader)
{
    if (historyActive == 0 || reader.remaining <= 0 || reader.record.packet == 0)
        return;
    resetAssembly(reader.record);
    skipHistoryRecord(reader, reader.recordNumber);
}
