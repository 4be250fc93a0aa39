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

// The download the reader is receiving. Every history packet carries the
// number of records announced and its record's number (bytes 2-5); the
// console numbers its records upward from its first (1, or 0 on a console
// that counts from 0), one message in flight at a time. So each record is
// told apart by its number: a number below the next one expected is a
// repeat, a jump means the records between were lost, and the download
// ends when its last number has ended, whatever was lost on the way.
struct HistoryBookkeeping {
    bool open;                 // begun and not ended; valid while HISTORY_TAKEN
    std::uint32_t total;       // records announced
    std::uint32_t firstNumber; // the console's number of its first record
    std::uint32_t nextNumber;  // every record numbered below has ended
    std::uint32_t stored;      // records stored: the next slot
    bool assembling;           // the 0xFE assembly holds record recordNumber
    std::uint32_t recordNumber;
    std::uint8_t packetCount;  // of that record, from its first packet
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
    std::int32_t remaining; // records of the download not yet ended
    HistoryBookkeeping history;
    // Counts the history packets seen, damaged ones included, and the quiet
    // timer's note of when it last moved.
    std::uint32_t historyPackets;
    std::uint32_t historyPacketsSeen;
    std::uint64_t lastHistoryAtMs;
    std::uint32_t historyQuietMs; // HISTORY_QUIET_MS unless the shell wants more patience

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
//   dropped (a history record it belongs to is lost);
// - a message longer than its buffer minus the terminating zero (449 bytes
//   for 0xFE, 1023 for 0xFB/0xF1) is never delivered;
// - nothing is taken from a packet whose checksum failed, the count and the
//   record number included; the tenth failure in a row is acknowledged and
//   loses the history record being assembled, if any;
// - a download begins only while one is requested (historyRequested), at
//   the first intact history packet, whichever packet of whichever record
//   it is (the records before it were lost);
// - each record the console delivers whole is stored once, in the next
//   slot, in order; a record that lost a packet, or outgrew its buffer, is
//   counted but never stored in part; a repeated packet is acknowledged and
//   otherwise ignored, inside or after a download;
// - records beyond historySlotCount are counted but not stored;
// - the download completes once, when its last record has ended; then the
//   request is over, and history packets are acknowledged and ignored;
// - live observations and upload texts in the middle of a download do not
//   disturb it; neither they nor anything else the console sends undoes a
//   cancel (transferCancelled).
void handleInputReport(ReportReader& reader, const std::uint8_t* report);

// The console has sent no history packet for a while during a download: it
// has moved on or stopped, and what has not arrived will not. Every record
// not yet ended is counted as lost, which completes the download, and
// CMD_STOP tells the console the transfer is over. Does nothing when no
// download runs.
void handleHistoryQuiet(ReportReader& reader);

// Whether a download has begun and not ended.
bool historyDownloadOpen(const ReportReader& reader);

// How long a running download may hear no history packet before it is
// ended with what arrived (the reader's historyQuietMs; a user waiting at
// an export wants no longer).
constexpr std::uint32_t HISTORY_QUIET_MS = 10000;

// The quiet timer. The shells call it after every report and every idle
// wait with a monotonic clock in milliseconds; once a running download has
// seen no history packet for historyQuietMs it calls handleHistoryQuiet,
// and historyWentQuiet tells so until the next download begins.
// Live observations do not count: a console that gave up a transfer goes
// on sending them.
void checkHistoryQuiet(ReportReader& reader, std::uint64_t nowMs);
