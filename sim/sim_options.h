// Command line of the console simulator. Parsed here, away from Win32, so
// the rules (ranges, defaults, every option documented) are tested natively.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/station_model.h"

constexpr std::size_t SIM_TEXT_OPTION_SIZE = 520;

struct SimOptions {
    char pipeName[SIM_TEXT_OPTION_SIZE]; // UTF-8
    char logPath[SIM_TEXT_OPTION_SIZE];  // UTF-8; empty: no log file
    std::uint32_t seed;
    bool fixedStart;                     // --now given
    SimDateTime start;

    // Schedules in milliseconds; 0 switches a schedule off.
    std::uint32_t liveIntervalMs;
    std::uint32_t uploadIntervalMs;
    std::uint32_t clockIntervalMs;

    std::uint32_t historyCount;          // 0..65535; 0 answers "no history"
    std::uint32_t historyIntervalMinutes;
    bool noHistory;
    bool refuseHistory;

    std::uint32_t ackTimeoutMs;          // an unanswered packet is sent again after this
    std::uint32_t maxRepeats;            // unanswered repeats before a message is given up
    std::uint32_t clockToleranceSeconds;
    std::uint32_t invalidPermille;

    // Faults.
    std::uint32_t badCrcEvery;           // every k-th transmission; 0 off
    std::uint32_t badCrcRun;             // first packet of a target damaged n times
    bool damageCount;                    // a target's damaged sends carry countOnDamage
    std::uint32_t countOnDamage;         // 0..65535, in bytes 2-3 of those sends
    bool swapPackets;                    // target's last two packets swapped
    std::uint32_t losePacket;            // target's packet with this number never sent; 0 off
    std::uint32_t faultRecord;           // target: history record r (1-based)
    std::uint32_t faultLive;             // target: m-th live observation
    std::uint32_t faultEvery;            // target: every k-th message
    std::uint32_t vanishAfter;           // close the pipe after m history records; 0 off
    bool stallTarget;                    // target stops after its second packet (once)
    bool repeatLastPacket;               // a transfer's last packet is sent once more
    bool repeatPacket;                   // a target's last packet is sent once more

    bool once;
    bool verbose;
    bool help;
};

void defaultSimOptions(SimOptions& options);

// Parses argv[1..argc-1] (UTF-8). Returns 1 on success; 0 with a one-line
// reason in `error` for an unknown option, a missing or malformed value or
// one out of range. Later options override earlier ones.
int parseSimOptions(int argc, const char* const* argv, SimOptions& options, char* error,
                    std::size_t errorSize);

// The --help text: what the simulator serves and how (the pipe of the
// Windows simulator, the socket of the native one), then every other option
// with its default.
extern const char SIM_PIPE_HELP[];
extern const char SIM_SOCKET_HELP[];
extern const char SIM_HELP_TEXT[];

// The simulator's command line as its program starts (argv in UTF-8): a bad
// option is told on stderr (exit code 2), --help prints `connectionHelp`
// and the help text on stdout (exit code 0). -1 when the simulator is to
// run with `options`.
int takeSimCommandLine(int argc, const char* const* argv, SimOptions& options, const char* connectionHelp);
