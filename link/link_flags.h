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
