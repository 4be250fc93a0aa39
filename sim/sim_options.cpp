#include "sim/sim_options.h"

#include <cstdio>
#include <cstring>

#include "sim/report_encoder.h"

const char SIM_PIPE_HELP[] =
    "aerovane-sim: a weather station console on a named pipe, for tests and demos.\n"
    "It serves one program at a time: 65-byte reports out, 9-byte commands in,\n"
    "one report or command per pipe message.\n"
    "\n"
    "Usage: aerovane-sim [options]\n"
    "\n"
    "Connection\n"
    "  --pipe=NAME             pipe to serve (default \\\\.\\pipe\\aerovane-console)\n";

const char SIM_SOCKET_HELP[] =
    "aerovane-sim: a weather station console on a Unix socket, for tests and demos.\n"
    "It serves one program at a time: 64-byte reports out (as hidraw gives them,\n"
    "without the report-ID byte), 9-byte commands in, one report or command per\n"
    "SOCK_SEQPACKET message.\n"
    "\n"
    "Usage: aerovane-sim [options]\n"
    "\n"
    "Connection\n"
    "  --socket=PATH           socket to serve (default $XDG_RUNTIME_DIR/aerovane-console,\n"
    "                          else /tmp/aerovane-console); --pipe=PATH is taken too\n";

const char SIM_HELP_TEXT[] =
    "  --once                  exit when the program disconnects (default: serve again)\n"
    "\n"
    "Station\n"
    "  --seed=N                weather of this seed; same seed, same readings (default 1)\n"
    "  --now=YYYY-MM-DDTHH:MM  the console clock starts here (default: this PC's local time)\n"
    "  --invalid-rate=N        per thousand readings, one sensor reads invalid (dashes)\n"
    "                          (0..1000, default 30)\n"
    "\n"
    "Schedules (milliseconds, 0 switches off)\n"
    "  --live-interval=MS      a live observation on its own (default 10000)\n"
    "  --upload-interval=MS    a Weather Underground (0xFB) and a Weathercloud (0xF1)\n"
    "                          upload text (default 60000)\n"
    "  --clock-interval=MS     a clock request (0xFA, status 3) (default 300000)\n"
    "  --clock-tolerance=S     a clock received more than S seconds away from this PC's\n"
    "                          clock is reported as off (default 120); the console's\n"
    "                          clock is set to it either way, and the records it logs\n"
    "                          from then on carry the time it shows\n"
    "\n"
    "History\n"
    "  --history=N             records sent on CMD_READ_HISTORY, 0..65535; 0 answers\n"
    "                          \"no history\" (default 1000)\n"
    "  --history-interval=MIN  minutes between records, the last one at or before now\n"
    "                          (1..1440, default 30)\n"
    "  --no-history            answer CMD_READ_HISTORY with \"no history\" (bytes 2-5 0xFF)\n"
    "  --refuse-history        answer CMD_READ_HISTORY with a status report that cancels\n"
    "                          the transfer (0xFA, byte 3 = 1)\n"
    "\n"
    "Answers\n"
    "  --ack-timeout=MS        an unanswered packet is sent again after MS (10..60000,\n"
    "                          default 1000)\n"
    "  --max-repeats=N         unanswered repeats before the message is given up; a\n"
    "                          history transfer then ends (default 5)\n"
    "\n"
    "Faults\n"
    "  --bad-crc-every=K       every K-th packet sent (repeats count) has a damaged checksum\n"
    "  --bad-crc-run=N         the first packet of a target message is damaged N times in\n"
    "                          a row (1..100)\n"
    "  --damage-count=C        every damaged send of a target message carries C (0..65535)\n"
    "                          as its count (bytes 2-3); its checksum stays wrong\n"
    "  --swap-packets          a target message's last two packets are sent swapped\n"
    "  --lose-packet[=P]       a target message's packet P (1..15, default 2) is never\n"
    "                          sent; a message of fewer packets loses none\n"
    "  --stall                 a target message stops after its second packet, and the\n"
    "                          console sends nothing more until the next command (once\n"
    "                          per connection)\n"
    "  --repeat-last-packet    when a history transfer has ended, its last packet is sent\n"
    "                          once more, as when the answer to it came late\n"
    "  --repeat-packet         when a target message's last packet has been answered, it\n"
    "                          is sent once more; the next message waits for an answer\n"
    "                          to it or the ack time-out (with --fault-record: in the\n"
    "                          middle of a transfer)\n"
    "  --fault-record=R        target: history record R (1-based) of each transfer\n"
    "  --fault-live=M          target: the M-th live observation of each connection\n"
    "  --fault-every=K         target: every K-th message of each connection\n"
    "                          (with no target given, every message is a target)\n"
    "  --vanish-after=M        close the pipe in a history transfer once M records were\n"
    "                          answered (with --once the simulator then exits)\n"
    "\n"
    "Output\n"
    "  --verbose               print every report sent and command received\n"
    "  --log=FILE              append one line per event to FILE, e.g.\n"
    "                          \"history 12 1000 ok <observation line>\",\n"
    "                          \"live ok <line>\", \"wu ok <text>\", \"wc ok <text>\",\n"
    "                          \"clock ok <seconds> requested\"; a status is ok, given-up\n"
    "                          (answered after a damaged packet), faulted (lost or\n"
    "                          swapped packets) or abandoned (no answer, or stopped)\n"
    "  --help                  this text\n";

namespace {

void setError(char* error, std::size_t size, const char* what, const char* arg)
{
    if (error && size > 0)
        std::snprintf(error, size, "%s: %s", what, arg);
}

// Decimal digits only, no sign, no spaces.
bool readNumber(const char* text, std::uint32_t low, std::uint32_t high, std::uint32_t& out)
{
    if (!text || !*text)
        return false;
    std::uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        v = v * 10 + static_cast<std::uint64_t>(*p - '0');
        if (v > 0xFFFFFFFFull)
            return false;
    }
    if (v < low || v > high)
        return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

bool readFixedDigits(const char* p, int count, int& out)
{
    out = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        out = out * 10 + (p[i] - '0');
    }
    return true;
}

// YYYY-MM-DDTHH:MM
bool readStart(const char* text, SimDateTime& out)
{
    if (std::strlen(text) != 16 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':')
        return false;
    SimDateTime t{};
    if (!readFixedDigits(text, 4, t.year) || !readFixedDigits(text + 5, 2, t.month) ||
        !readFixedDigits(text + 8, 2, t.day) || !readFixedDigits(text + 11, 2, t.hour) ||
        !readFixedDigits(text + 14, 2, t.minute))
        return false;
    if (!isValidCivil(t))
        return false;
    out = t;
    return true;
}

bool copyText(const char* text, char* out, std::size_t size)
{
    const std::size_t n = std::strlen(text);
    if (n == 0 || n >= size)
        return false;
    std::memcpy(out, text, n + 1);
    return true;
}

struct NumberOption {
    const char* name;
    std::uint32_t SimOptions::*field;
    std::uint32_t low;
    std::uint32_t high;
};

const NumberOption NUMBER_OPTIONS[] = {
    {"--live-interval", &SimOptions::liveIntervalMs, 0, 86400000},
    {"--upload-interval", &SimOptions::uploadIntervalMs, 0, 86400000},
    {"--clock-interval", &SimOptions::clockIntervalMs, 0, 86400000},
    {"--clock-tolerance", &SimOptions::clockToleranceSeconds, 0, 86400},
    {"--history", &SimOptions::historyCount, 0, 65535},
    {"--history-interval", &SimOptions::historyIntervalMinutes, 1, 1440},
    {"--ack-timeout", &SimOptions::ackTimeoutMs, 10, 60000},
    {"--max-repeats", &SimOptions::maxRepeats, 0, 1000},
    {"--invalid-rate", &SimOptions::invalidPermille, 0, 1000},
    {"--bad-crc-every", &SimOptions::badCrcEvery, 1, 1000000},
    {"--bad-crc-run", &SimOptions::badCrcRun, 1, 100},
    {"--fault-record", &SimOptions::faultRecord, 1, 65535},
    {"--fault-live", &SimOptions::faultLive, 1, 1000000},
    {"--fault-every", &SimOptions::faultEvery, 1, 1000000},
    {"--vanish-after", &SimOptions::vanishAfter, 1, 65535},
};

struct FlagOption {
    const char* name;
    bool SimOptions::*field;
};

const FlagOption FLAG_OPTIONS[] = {
    {"--no-history", &SimOptions::noHistory}, {"--refuse-history", &SimOptions::refuseHistory},
    {"--swap-packets", &SimOptions::swapPackets}, {"--stall", &SimOptions::stallTarget},
    {"--repeat-last-packet", &SimOptions::repeatLastPacket}, {"--repeat-packet", &SimOptions::repeatPacket},
    {"--once", &SimOptions::once}, {"--verbose", &SimOptions::verbose},
    {"--help", &SimOptions::help},
};

} // namespace

void defaultSimOptions(SimOptions& o)
{
    o = SimOptions{};
    std::snprintf(o.pipeName, sizeof o.pipeName, "%s", "\\\\.\\pipe\\aerovane-console");
    o.seed = 1;
    o.liveIntervalMs = 10000;
    o.uploadIntervalMs = 60000;
    o.clockIntervalMs = 300000;
    o.historyCount = 1000;
    o.historyIntervalMinutes = 30;
    o.ackTimeoutMs = 1000;
    o.maxRepeats = 5;
    o.clockToleranceSeconds = 120;
    o.invalidPermille = 30;
}

int parseSimOptions(int argc, const char* const* argv, SimOptions& o, char* error,
                    std::size_t errorSize)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        const char* eq = std::strchr(arg, '=');
        const std::size_t nameLength = eq ? static_cast<std::size_t>(eq - arg) : std::strlen(arg);
        const char* value = eq ? eq + 1 : nullptr;
        auto is = [&](const char* name) {
            return std::strlen(name) == nameLength && std::strncmp(arg, name, nameLength) == 0;
        };

        bool known = false;
        for (const FlagOption& f : FLAG_OPTIONS) {
            if (!is(f.name))
                continue;
            if (value) {
                setError(error, errorSize, "option takes no value", arg);
                return 0;
            }
            o.*(f.field) = true;
            known = true;
        }
        for (const NumberOption& n : NUMBER_OPTIONS) {
            if (!is(n.name))
                continue;
            if (!readNumber(value, n.low, n.high, o.*(n.field))) {
                setError(error, errorSize, "bad or out-of-range number", arg);
                return 0;
            }
            known = true;
        }
        if (known)
            continue;
        if (is("--seed")) {
            if (!readNumber(value, 0, 0xFFFFFFFFu, o.seed)) {
                setError(error, errorSize, "bad seed", arg);
                return 0;
            }
        } else if (is("--lose-packet")) {
            // Bare, as older scripts write it: the second packet.
            o.losePacket = 2;
            if (value && !readNumber(value, 1, ENCODED_PACKETS_MAX, o.losePacket)) {
                setError(error, errorSize, "bad or out-of-range packet number", arg);
                return 0;
            }
        } else if (is("--damage-count")) {
            if (!readNumber(value, 0, 65535, o.countOnDamage)) {
                setError(error, errorSize, "bad or out-of-range count", arg);
                return 0;
            }
            o.damageCount = true;
        } else if (is("--now")) {
            if (!value || !readStart(value, o.start)) {
                setError(error, errorSize, "expected --now=YYYY-MM-DDTHH:MM", arg);
                return 0;
            }
            o.fixedStart = true;
        } else if (is("--pipe")) {
            if (!value || !copyText(value, o.pipeName, sizeof o.pipeName)) {
                setError(error, errorSize, "bad pipe name", arg);
                return 0;
            }
        } else if (is("--log")) {
            if (!value || !copyText(value, o.logPath, sizeof o.logPath)) {
                setError(error, errorSize, "bad log file name", arg);
                return 0;
            }
        } else {
            setError(error, errorSize, "unknown option", arg);
            return 0;
        }
    }
    return 1;
}

int takeSimCommandLine(int argc, const char* const* argv, SimOptions& options, const char* connectionHelp)
{
    defaultSimOptions(options);
    char error[300];
    if (!parseSimOptions(argc, argv, options, error, sizeof error)) {
        std::fprintf(stderr, "aerovane-sim: %s (see --help)\n", error);
        return 2;
    }
    if (!options.help)
        return -1;
    std::fputs(connectionHelp, stdout);
    std::fputs(SIM_HELP_TEXT, stdout);
    return 0;
}
