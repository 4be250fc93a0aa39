// The reader's work on one 65-byte input report: checksum check, the answer
// (ACK/NAK), packet sequencing, assembly of multi-packet messages and the
// history-download bookkeeping. The Win32 reader thread calls it once per
// report; tests and fuzzers call it directly. It talks to the outside only
// through the two function pointers of ReaderOutput.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/commands.h"
#include "link/report_layout.h"
#include "readings/station_record.h"

constexpr std::size_t UPLOAD_TEXT_SIZE = 1024; // 0xFB / 0xF1 assembly buffers

struct ReaderOutput {
    // Writes one command report to the console (sendCommand); its result is
    // not examined.
    int (*writeCommand)(void* context, const CommandReport& command);
    // Delivers a private message synchronously. The message number says who
    // receives it (WM_HISTORY_TOTAL/PROGRESS go to the status bar, the rest
    // to the reader's target window). Pointers in lParam are valid only
    // during the call.
    void (*deliver)(void* context, unsigned message, std::intptr_t lParam);
    void* context;
};

// One assembly buffer with its packet counter and running offset.
struct Assembly {
    std::uint8_t packet;  // number of the last packet taken; 0 = idle
    std::uint32_t offset; // wide enough for every buffer: never wraps
    bool overflowed;      // the message outgrew its buffer; dropped at its end
};

struct ReportReader {
    ReaderOutput output;
    // Where history records go; historySlotCount bounds every store.
    StationRecord* historySlots;
    std::size_t historySlotCount;
    // The chosen export file (empty: history frames are ignored).
    const wchar_t* exportPath;

    std::uint32_t linkFailures;
    std::uint32_t recordFailures;
    std::uint32_t lastGivenUp;
    std::uint32_t skippedRecords;
    std::int32_t remaining;
    std::uint32_t recordNumber; // of the history record being assembled

    Assembly record; // 0xFE, counter recordPacket
    Assembly fb;     // 0xFB, counter fbPacket
    Assembly f1;     // 0xF1, counter f1Packet
    std::uint8_t recordBuffer[STATION_RECORD_SIZE];
    std::uint8_t fbBuffer[UPLOAD_TEXT_SIZE];
    std::uint8_t f1Buffer[UPLOAD_TEXT_SIZE];
};

// Clears every counter and buffer and sets the outputs. The shared flags of
// link_flags.h are not touched.
void initReportReader(ReportReader& reader, ReaderOutput output, StationRecord* historySlots,
                      std::size_t historySlotCount, const wchar_t* exportPath);

// Handles one input report of exactly INPUT_REPORT_SIZE bytes. Never writes
// outside the reader's buffers or the history slots:
// - a packet whose payload length exceeds MAX_PAYLOAD is acknowledged but
//   dropped, and its kind's assembly starts again at the next packet 1;
// - a packet 1 always starts a new message, abandoning an unfinished one;
// - a history record that cannot be completed (given up, a packet of it
//   missing, repeated or out of order) is counted once, so the download
//   still completes, and the download completes when the last expected
//   record is such a one;
// - a message longer than its buffer minus the terminating zero (449 bytes
//   for 0xFE, 1023 for 0xFB/0xF1) is never delivered; a history record that
//   overflowed is counted like one given up;
// - history records beyond historySlotCount are counted but not stored;
// - the download completes (once) when `remaining` reaches zero or below;
//   records arriving after that are acknowledged and ignored, and never
//   counted, until the history state ends;
// - a download begins at the first packet of a record (intact, or given
//   up) arriving while historyActive is 0, from clean bookkeeping: nothing
//   half assembled or given up before it is counted against it. A later
//   packet arriving then is the tail of an older record: acknowledged and
//   ignored.
void handleInputReport(ReportReader& reader, const std::uint8_t* report);

// The console has sent nothing for a while during a download. A history
// record still waiting for a packet can no longer be completed (the console
// moved on and has nothing more to send): it is counted as skipped, which
// completes the download when it was the last one expected. Its packets, if
// they come after all, are then dropped and not counted again. Does nothing
// when no download runs or no record is half assembled.
void handleHistoryQuiet(ReportReader& reader);
