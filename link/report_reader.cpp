#include "link/report_reader.h"

#include <cstring>

#include "link/crc16.h"
#include "link/link_flags.h"
#include "link/messages.h"

namespace {

// The tenth consecutive checksum failure is acknowledged and the packet given
// up, so a console that keeps sending damage cannot stall the link.
constexpr std::uint32_t MAX_FAILURES = 10;

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

// A download the reader began and the program has not ended meanwhile.
bool downloadRunning(const ReportReader& reader)
{
    return reader.history.open && historyRequested == HISTORY_TAKEN;
}

bool isNoHistoryMarker(const std::uint8_t* report)
{
    return report[2] == 0xFF && report[3] == 0xFF && report[4] == 0xFF && report[5] == 0xFF;
}

// Whether history frames are wanted at all: a file is chosen and no cancel
// is in force. Unwanted ones get no answer.
bool historyWanted(const ReportReader& reader)
{
    return transferCancelled == 0 && reader.exportPath && reader.exportPath[0] != 0;
}

// The download is over, completed or not: frames from now on are strays.
void closeHistory(ReportReader& reader)
{
    if (reader.history.assembling)
        resetAssembly(reader.record);
    reader.history.open = false;
    reader.history.assembling = false;
}

std::uint32_t recordsEnded(const HistoryBookkeeping& history)
{
    return history.nextNumber - history.firstNumber;
}

// Records numbered below `next` have ended, stored or lost. A record being
// assembled among them can no longer be completed.
void endRecordsBelow(ReportReader& reader, std::uint32_t next)
{
    HistoryBookkeeping& history = reader.history;
    const std::uint32_t last = history.firstNumber + history.total;
    if (next > last)
        next = last;
    if (next <= history.nextNumber)
        return;
    if (history.assembling && history.recordNumber < next) {
        resetAssembly(reader.record);
        history.assembling = false;
    }
    history.nextNumber = next;
}

// After each packet: tell the progress, and complete the download once its
// last record has ended.
void reportProgress(ReportReader& reader, std::uint32_t endedBefore)
{
    HistoryBookkeeping& history = reader.history;
    const std::uint32_t ended = recordsEnded(history);
    reader.remaining = static_cast<std::int32_t>(history.total - ended);
    if (ended == endedBefore)
        return;
    deliver(reader, WM_HISTORY_PROGRESS, static_cast<std::intptr_t>(ended));
    if (ended < history.total)
        return;
    closeHistory(reader);
    // Set before the message, so the export the receiver starts sees a
    // complete download, and no later frame is taken into the store it reads.
    historyComplete = 1;
    historyRequested = HISTORY_NOT_REQUESTED;
    deliver(reader, WM_HISTORY_DONE);
}

// The record being assembled has all its packets: into the next slot
// unless it outgrew the buffer.
void storeHistoryRecord(ReportReader& reader, bool whole)
{
    HistoryBookkeeping& history = reader.history;
    if (whole) {
        if (reader.historySlots && history.stored < reader.historySlotCount)
            std::memcpy(reader.historySlots[history.stored].text, reader.recordBuffer, STATION_RECORD_SIZE);
        ++history.stored;
    }
    history.assembling = false;
    resetAssembly(reader.record);
    history.nextNumber = history.recordNumber + 1;
}

// One intact packet of the download, of record `number`.
void takeHistoryPacket(ReportReader& reader, const std::uint8_t* report, std::uint32_t number)
{
    HistoryBookkeeping& history = reader.history;
    const std::uint8_t packet = report[SEQUENCE_BYTE] & 0x0F;
    const std::uint8_t packets = report[SEQUENCE_BYTE] >> 4;
    const std::size_t length = report[LENGTH_BYTE];
    const bool wellFormed = length <= MAX_PAYLOAD && packet >= 1 && packet <= packets;

    if (history.assembling && number == history.recordNumber) {
        // Packets already taken, sent again because their answer came late.
        if (packet >= 1 && packet <= reader.record.packet)
            return;
        if (!wellFormed || packet != reader.record.packet + 1 || packets != history.packetCount) {
            endRecordsBelow(reader, number + 1); // a packet went missing
            return;
        }
        if (!reader.record.overflowed && reader.record.offset + length < STATION_RECORD_SIZE) {
            std::memcpy(reader.recordBuffer + reader.record.offset, report + PAYLOAD_START, length);
            reader.record.offset += static_cast<std::uint32_t>(length);
        } else {
            reader.record.overflowed = true;
        }
        reader.record.packet = packet;
        if (packet == packets)
            storeHistoryRecord(reader, !reader.record.overflowed);
        return;
    }
    // A later record: the one in progress and any between were lost.
    endRecordsBelow(reader, number);
    if (!wellFormed || packet != 1) {
        endRecordsBelow(reader, number + 1); // its first packet never came
        return;
    }
    // A first packet never ends a record, whatever its sequence byte says:
    // the console never sends an observation in one packet.
    std::memset(reader.recordBuffer, 0, STATION_RECORD_SIZE);
    std::memcpy(reader.recordBuffer, report + PAYLOAD_START, length);
    reader.record.packet = 1;
    reader.record.offset = static_cast<std::uint32_t>(length);
    reader.record.overflowed = false;
    history.assembling = true;
    history.recordNumber = number;
    history.packetCount = packets;
}

// The first frame of a requested download: takes the request and starts
// from clean bookkeeping. False when it is not ours to take (no request, or
// a cancel crossed it).
bool beginHistoryDownload(ReportReader& reader, std::uint32_t count, std::uint32_t number)
{
    std::uint32_t expected = HISTORY_REQUESTED;
    if (!historyRequested.compare_exchange_strong(expected, HISTORY_TAKEN))
        return false;
    if (reader.history.assembling || reader.record.packet != 0)
        resetAssembly(reader.record); // an unfinished live observation
    HistoryBookkeeping& history = reader.history;
    history = HistoryBookkeeping{};
    history.open = true;
    history.total = count;
    historyWentQuiet = 0;
    history.firstNumber = number == 0 ? 0 : 1;
    history.nextNumber = history.firstNumber;
    reader.remaining = static_cast<std::int32_t>(count);
    historyTotal = count;
    historyActive = 1;
    // A cancel between the swap and here has cleared historyActive before
    // we set it: look again, and leave the flags as the cancel meant them.
    if (transferCancelled != 0 || historyRequested != HISTORY_TAKEN) {
        history.open = false;
        historyActive = 0;
        return false;
    }
    deliver(reader, WM_HISTORY_TOTAL, static_cast<std::intptr_t>(count));
    return true;
}

// An intact history packet (count != 0).
void handleHistoryPacket(ReportReader& reader, const std::uint8_t* report, std::uint32_t count)
{
    const std::uint32_t number = bigEndian16(report + 4);
    HistoryBookkeeping& history = reader.history;
    // The main thread ended or replaced the download (cancel, removal, a new
    // export): the reader's bookkeeping of it is void.
    if (history.open && historyRequested != HISTORY_TAKEN)
        closeHistory(reader);
    if (!historyWanted(reader))
        return; // unanswered: the console keeps it until a new export starts
    answer(reader, CMD_RECORD_ACK);
    reader.recordFailures = 0;

    const std::uint32_t first = history.open ? history.firstNumber : (number == 0 ? 0 : 1);
    const std::uint32_t total = history.open ? history.total : count;
    // Not of this download: numbered outside it, or announcing another
    // count. Acknowledged, so the console moves on, and otherwise ignored.
    if (count != total || number < first || number >= first + total)
        return;
    if (!history.open && !beginHistoryDownload(reader, count, number))
        return;
    if (number < history.nextNumber)
        return; // a record that has ended, sent again
    const std::uint32_t endedBefore = recordsEnded(history);
    takeHistoryPacket(reader, report, number);
    reportProgress(reader, endedBefore);
}

// The tenth damaged observation packet in a row is given up: the console
// moves on past it, so the history record being assembled (the only one
// the packet can have belonged to, one message being in flight at a time)
// can no longer be completed. Nothing else is taken from it.
void giveUpObservationPacket(ReportReader& reader)
{
    HistoryBookkeeping& history = reader.history;
    if (history.open && historyRequested != HISTORY_TAKEN)
        closeHistory(reader);
    if (history.open && history.assembling) {
        const std::uint32_t endedBefore = recordsEnded(history);
        endRecordsBelow(reader, history.recordNumber + 1);
        reportProgress(reader, endedBefore);
    }
    resetAssembly(reader.record);
    history.assembling = false;
}

void handleLivePacket(ReportReader& reader, const std::uint8_t* report)
{
    answer(reader, CMD_RECORD_ACK);
    reader.recordFailures = 0;
    HistoryBookkeeping& history = reader.history;
    if (history.assembling) {
        // The console moved on from the record it was sending.
        if (downloadRunning(reader)) {
            const std::uint32_t endedBefore = recordsEnded(history);
            endRecordsBelow(reader, history.recordNumber + 1);
            reportProgress(reader, endedBefore);
        }
        resetAssembly(reader.record);
        history.assembling = false;
    }
    // The console never sends an observation in a single packet: a first
    // packet never ends one, whatever its sequence byte says.
    if (assemble(reader.record, reader.recordBuffer, STATION_RECORD_SIZE, report, false)
        == AssemblyStep::Complete)
        deliver(reader, WM_LIVE_RECORD, bufferAddress(reader.recordBuffer));
}

void handleObservation(ReportReader& reader, const std::uint8_t* report, bool intact)
{
    // The console's "no history" answer is recognised whatever its checksum
    // and never answered. It ends a request the reader has not taken.
    if (isNoHistoryMarker(report)) {
        withdrawHistoryRequest();
        deliver(reader, WM_NO_HISTORY);
        return;
    }
    if (!intact) {
        if (reader.history.open)
            ++reader.historyPackets;
        ++reader.recordFailures;
        if (reader.recordFailures < MAX_FAILURES) {
            answer(reader, CMD_RECORD_NAK);
            return;
        }
        answer(reader, CMD_RECORD_ACK);
        reader.recordFailures = 0;
        giveUpObservationPacket(reader);
        return;
    }
    const std::uint32_t count = bigEndian16(report + 2);
    if (count == 0) {
        handleLivePacket(reader, report);
        return;
    }
    ++reader.historyPackets;
    handleHistoryPacket(reader, report, count);
}

// The console cancels the transfer. Like the user's cancel it stays in
// force until a new export starts; a download it ends is over now, so the
// program is free to ask again.
void refuseTransfer(ReportReader& reader)
{
    transferCancelled = 1;
    const bool running = downloadRunning(reader);
    const bool waiting = historyRequested == HISTORY_REQUESTED;
    closeHistory(reader);
    if (!running && !waiting)
        return; // an export being written is stopped by transferCancelled alone
    historyRequested = HISTORY_NOT_REQUESTED;
    historyActive = 0;
    deliver(reader, WM_PROGRESS_CLEAR);
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
            refuseTransfer(reader);
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
    reader.remaining = 0;
    reader.history = HistoryBookkeeping{};
    reader.historyPackets = 0;
    reader.historyPacketsSeen = 0;
    reader.lastHistoryAtMs = 0;
    reader.historyQuietMs = HISTORY_QUIET_MS;
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

bool historyDownloadOpen(const ReportReader& reader)
{
    return downloadRunning(reader);
}

void handleHistoryQuiet(ReportReader& reader)
{
    if (!historyDownloadOpen(reader))
        return;
    answer(reader, CMD_STOP);
    historyWentQuiet = 1;
    const std::uint32_t endedBefore = recordsEnded(reader.history);
    endRecordsBelow(reader, reader.history.firstNumber + reader.history.total);
    reportProgress(reader, endedBefore);
}

void checkHistoryQuiet(ReportReader& reader, std::uint64_t nowMs)
{
    if (!downloadRunning(reader) || reader.historyPackets != reader.historyPacketsSeen) {
        reader.historyPacketsSeen = reader.historyPackets;
        reader.lastHistoryAtMs = nowMs;
        return;
    }
    if (nowMs - reader.lastHistoryAtMs >= reader.historyQuietMs)
        handleHistoryQuiet(reader);
}
