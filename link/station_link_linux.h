// The console connection of the Linux program: one reader thread that opens
// the console (and looks for it again every few seconds while it is
// absent), reads each input report with a short time-out so a stop is seen
// at once, and feeds the core's handleInputReport with the report-ID byte
// put back in front, as the Windows program reads it. The answers go out
// through sendCommand; the core's messages go to the command that runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "link/commands.h"
#include "link/report_reader.h"
#include "readings/station_record.h"
#include "settings/config_file.h"

// How long a read waits before the reader looks at its stop flag.
constexpr int READ_TIMEOUT_MS = 100;
// How often an absent console is looked for.
constexpr int CONSOLE_RETRY_MS = 2000;

struct LinkEvents {
    // The console was opened (present) or lost (not present). Called on
    // the reader thread; on opening, CMD_STOP and CMD_READ_CURRENT have
    // already gone out.
    void (*connection)(void* context, bool present, const char* why);
    // A message of the core's reader, synchronously: pointers in lParam are
    // valid only during the call. WM_CLOCK_REQUEST has been answered (with
    // this machine's local time, as setConsoleClockSync allows) before it
    // comes here.
    void (*message)(void* context, unsigned message, std::intptr_t lParam);
    void* context;
    // A note for the user or the log (no newline), `problem` when it tells
    // of one; null: stderr.
    void (*note)(void* context, bool problem, const char* text) = nullptr;
};

// When clock requests are answered (the configuration's [clock] sync).
// Before startStationLink; default: only while this machine's clock is
// synchronised.
void setConsoleClockSync(ClockSync sync);

// Whether the kernel says this machine's clock is synchronised to a time
// source (as timedatectl shows it).
bool systemClockSynchronised();

// Starts the reader thread. `consolePath` empty: the USB console through
// hidapi; otherwise the simulator's socket. The history slots and the
// export file name work as on Windows: history frames are taken only while
// *exportPath is not empty. Returns 1, or 0 when no thread could be made.
int startStationLink(const char* consolePath, StationRecord* historySlots, std::size_t historySlotCount,
                     const wchar_t* exportPath, LinkEvents events);

// Hands the reader other history slots, or none (null): the store is taken
// only while a download runs, and how long a download may go quiet before
// it ends with what arrived. Waits until the reader is between two
// reports. Not to be called from a LinkEvents callback.
void setLinkHistory(StationRecord* historySlots, std::size_t historySlotCount,
                    std::uint32_t quietMs = HISTORY_QUIET_MS);

// "console connected", or "No connection (why); looking again every 2 s".
std::string connectionText(bool present, const char* why);

// A LinkEvents.connection that tells the user connectionText on stderr.
void reportConnectionOnStderr(void* context, bool present, const char* why);

// Whether the last look for the console found it owned by another program
// (a service, an export): the reader goes on looking.
bool consoleHeldByAnother();

// Tells the user on stderr who holds the console and where the service's
// history and log are.
void reportConsoleInUse();

// Sets readerStop and waits for the reader thread; closes the console.
void stopStationLink();

// Writes one 9-byte command report. 1 when written; 0 when no console is
// connected or the write failed. Safe from any thread.
int sendCommand(const CommandReport& command);

// This machine's local time, to the second.
ClockTime localClockTime();

// The clock exchange: CMD_SET_DATE, 100 ms, CMD_SET_TIME, both from one
// reading of this machine's local time.
void sendClock();
