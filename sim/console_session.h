// The console's side of one connection, away from the pipe: what to send and
// when, what each command from the program does, faults and time-outs. The
// Win32 shell feeds it commands and the time and writes what it hands back;
// tests drive it the same way with plain functions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/commands.h"
#include "sim/report_encoder.h"
#include "sim/sim_options.h"
#include "sim/station_model.h"

// Event lines (the --log file holds those that are not `detail`), one per
// line, first word the event:
//   live|wu|wc STATUS TEXT          a message finished; TEXT as sent
//   history N COUNT STATUS LINE      history record N of COUNT finished
//   history-start COUNT MINUTES FIRST-DATE FIRST-TIME LAST-DATE LAST-TIME
//   history-end|history-stopped|history-abandoned|history-restart DONE COUNT
//   no-history STATUS, history-refused STATUS, clock-request STATUS
//   read-current, read-history, vanish N, write-failed
//   stall live|history N
//   repeat-last N, repeat-packet N   a message's last packet sent once more
//     (N its record number, 0 for non-history); the first answer after it
//     is taken as the answer to it, logged as unexpected-answer ... to repeat
//   set-date|set-time A B C crc-ok|crc-bad|bad-marks
//   clock ok|off SECONDS requested|unrequested (the console's clock is
//     then set to what came), or clock bad-checksum|bad-date|bad-time|no-date
//   odd-command ..., unexpected-answer ...
// STATUS: ok; given-up (the program acknowledged a damaged packet, so it
// dropped the message); faulted (packets lost or swapped on purpose);
// abandoned (no answer after the repeats, too many NAKs, or stopped).
struct SessionIo {
    // Writes one report; returns 1 when it went out, 0 when the pipe failed
    // (the session then asks to be closed).
    int (*writeReport)(void* context, const EncodedReport& report);
    // One event line without newline. `detail` lines (each report and
    // command) matter only with --verbose; the rest form the log.
    void (*event)(void* context, bool detail, const char* line);
    // This PC's local time, to check the clock the program sends.
    ClockTime (*hostClock)(void* context);
    void* context;
};

// A clock exchange that moved the console's clock: from `atMs` on it reads
// `offsetMs` away from where it would have been without any.
struct SimClockSet {
    std::uint64_t atMs;
    std::int64_t offsetMs;
};

// The console's clock, which follows what it is set to. It was started at
// `baseMinute` plus `baseSecond` at `baseMs` on the shell's millisecond
// counter and runs on from there (the logger's pace, which no set changes);
// each set that moved it by another whole minute is kept (the oldest give
// way to newer ones), one by a few seconds only corrects the last.
constexpr std::size_t SIM_CLOCK_SETS_MAX = 64;
struct SimClock {
    std::int64_t baseMinute;
    int baseSecond;
    std::uint64_t baseMs;
    std::size_t setCount;
    SimClockSet sets[SIM_CLOCK_SETS_MAX];
};

enum MessageRole {
    ROLE_LIVE,
    ROLE_HISTORY,
    ROLE_NO_HISTORY,
    ROLE_REFUSAL,
    ROLE_CLOCK_REQUEST,
    ROLE_WU,
    ROLE_WC,
};

struct OutgoingMessage {
    MessageRole role;
    EncodedMessage encoded;
    std::uint8_t order[ENCODED_PACKETS_MAX]; // report indexes in sending order
    std::size_t orderCount;
    std::size_t position;    // order index of the packet in flight
    std::uint32_t repeats;   // unanswered repeats of that packet
    std::uint32_t naks;
    std::uint32_t burstLeft; // damaged sends still due at position 0
    bool lastDamaged;        // the packet in flight went out with a bad checksum
    bool awaiting;
    std::uint64_t deadline;
    bool givenUp;            // the program acknowledged a damaged packet
    bool faulted;            // packets lost or swapped on purpose
    bool stalls;             // stops after its second packet (--stall)
    bool countDamaged;       // damaged sends carry --damage-count's count
    bool repeatsLast;        // its last packet goes out once more (--repeat-packet)
    std::uint16_t recordNumber;
    char text[320];          // the payload, for the log
};

struct ConsoleSession {
    const SimOptions* options;
    SessionIo io;
    SimClock clock;
    StationModel model;
    bool closeRequested;
    bool stalled;   // nothing is sent until the program's next command
    bool stallDone; // --stall happens once per connection
    // A packet was sent once more; the next message waits for an answer to
    // it or for the time-out, so that answer cannot pass for the next one's.
    bool repeatOutstanding;
    std::uint64_t repeatDeadline;

    bool inFlight;
    OutgoingMessage current;

    std::uint64_t nextLive;
    std::uint64_t nextUpload;
    std::uint64_t nextClock;
    bool liveDue;
    bool clockDue;
    bool wuDue;
    bool wcDue;
    MessageRole historyReply; // ROLE_NO_HISTORY or ROLE_REFUSAL when one is due
    bool historyReplyDue;

    bool historyRunning;
    std::uint32_t historyNext;     // number of the next record to send
    std::uint32_t historyAnswered; // records fully answered in this transfer
    std::int64_t historyLastMinute;

    std::uint32_t messagesStarted;
    std::uint32_t liveStarted;
    std::uint64_t transmissions;

    bool haveDate;
    int dateYear, dateMonth, dateDay;
    bool clockRequested;
};

// Starts serving a new connection at `nowMs` (the shell's millisecond
// counter). The options must outlive the session.
void startSession(ConsoleSession& session, const SimOptions& options, const SimClock& clock,
                  SessionIo io, std::uint64_t nowMs);

// One message read from the pipe (a command is 9 bytes; anything else is
// reported and ignored).
void sessionCommand(ConsoleSession& session, const std::uint8_t* bytes, std::size_t length,
                    std::uint64_t nowMs);

// Runs due schedules and time-outs and sends what is waiting.
void sessionTick(ConsoleSession& session, std::uint64_t nowMs);

// When sessionTick must run next (absolute, on the same counter); at most
// one second ahead.
std::uint64_t sessionNextDeadline(const ConsoleSession& session, std::uint64_t nowMs);

// The console's clock minute at `nowMs`.
std::int64_t sessionMinute(const ConsoleSession& session, std::uint64_t nowMs);

// The clock set to `minute` and `second` at `nowMs` (a clock exchange).
void setSimClock(SimClock& clock, std::int64_t minute, int second, std::uint64_t nowMs);

// Minute of history record `number` (1 = oldest) of a transfer of `count`
// records whose last record is at `lastMinute`, on the logger's pace (the
// clock as it was started, never set).
std::int64_t historyRecordMinute(std::int64_t lastMinute, std::uint32_t intervalMinutes,
                                 std::uint32_t count, std::uint32_t number);

// The minute a record logged at `paceMinute` was stamped with: what the
// clock showed then, to the nearest minute (the logger ticks at the top of
// its minute, so a set by a second or two moves no record into its
// neighbour's minute).
std::int64_t loggedMinute(const SimClock& clock, std::int64_t paceMinute);
