// Flags shared between the main thread, the reader thread and the export
// thread. Each is one 32-bit word written and read whole; the synchronous
// window messages order the hand-overs, so no lock is taken.
#pragma once

#include <atomic>
#include <cstdint>

using LinkFlag = std::atomic<std::uint32_t>;

extern LinkFlag deviceReady;       // console opened; guards every command write
extern LinkFlag readerStop;        // the reader leaves its loop at the end of a pass
extern LinkFlag transferCancelled; // transfer cancelled or refused; stops an export
extern LinkFlag historyActive;     // a history download is being received
extern LinkFlag historyTotal;      // records announced by the first history frame
extern LinkFlag historyComplete;   // every announced record has been counted
extern LinkFlag historyWentQuiet;  // the last download was ended by the quiet timer

// The history download the program asked for. History frames start a
// download only while one is requested, so a packet the console repeats
// after a download, or one whose answer came late, can never start one of
// its own. Only the reader moves a request from REQUESTED to TAKEN, with
// one compare-and-swap, so the program can withdraw a request it has not
// taken without racing it (withdrawHistoryRequest).
enum HistoryRequest : std::uint32_t {
    HISTORY_NOT_REQUESTED = 0, // nothing asked for, or the download ended
    HISTORY_REQUESTED = 1,     // CMD_READ_HISTORY is going out; no frame taken yet
    HISTORY_TAKEN = 2,         // the reader took the first frame: a download runs
};
extern LinkFlag historyRequested;

// Withdraws a request whose first frame the reader has not taken. False
// when the reader has taken it: that download runs and must be left alone.
bool withdrawHistoryRequest();

// Ends the download in whatever state it is, as a cancel or the console's
// removal does: transferCancelled set, the request dropped, historyActive
// cleared, in that order (the reader, starting a download at that moment,
// looks at the request again after it set historyActive).
void cancelHistoryTransfer();
