#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace {

int parse(std::vector<const char*> args, SimOptions& o, std::string* error = nullptr)
{
    args.insert(args.begin(), "aerovane-sim");
    defaultSimOptions(o);
    char buffer[200] = "";
    const int ok = parseSimOptions(static_cast<int>(args.size()), args.data(), o, buffer, sizeof buffer);
    if (error)
        *error = buffer;
    return ok;
}

} // namespace

TEST(SimOptions, EveryDocumentedOptionIsAcceptedAndEveryOptionDocumented)
{
    // Each option with a value it accepts; the help text must name them all
    // and name no other.
    const std::vector<std::string> options = {
        "--pipe=\\\\.\\pipe\\x", "--once", "--seed=4294967295", "--now=2026-02-28T23:59", "--invalid-rate=0",
        "--live-interval=0", "--upload-interval=250", "--clock-interval=250", "--clock-tolerance=5",
        "--history=65535", "--history-interval=1440", "--no-history", "--refuse-history", "--ack-timeout=10",
        "--max-repeats=0", "--bad-crc-every=1", "--bad-crc-run=100", "--damage-count=65535", "--swap-packets",
        "--lose-packet=15", "--fault-record=65535", "--fault-live=1", "--fault-every=2", "--vanish-after=1",
        "--stall", "--repeat-last-packet", "--repeat-packet", "--verbose",
        "--log=C:\\sim.log", "--help"};
    // Each simulator's help: its own connection, then the common options.
    for (const char* connection : {SIM_PIPE_HELP, SIM_SOCKET_HELP}) {
        std::vector<std::string> documented;
        const std::string help = std::string(connection) + SIM_HELP_TEXT;
        for (std::size_t at = help.find("\n  --"); at != std::string::npos; at = help.find("\n  --", at + 1)) {
            const std::size_t end = help.find_first_of("=[ ", at + 3);
            documented.push_back(help.substr(at + 3, end - at - 3));
        }
        if (connection == SIM_SOCKET_HELP) // the native simulator's word for --pipe
            std::replace(documented.begin(), documented.end(), std::string("--socket"), std::string("--pipe"));
        EXPECT_EQ(options.size(), documented.size());
        for (const std::string& option : options) {
            const std::string name = option.substr(0, option.find('='));
            EXPECT_NE(documented.end(), std::find(documented.begin(), documented.end(), name)) << name;
        }
    }
    EXPECT_EQ(std::string::npos, std::string(SIM_SOCKET_HELP).find("named pipe"));
    for (const std::string& option : options) {
        SimOptions o;
        std::string error;
        EXPECT_EQ(1, parse({option.c_str()}, o, &error)) << option << ": " << error;
    }
}

TEST(SimOptions, ValuesLandInTheirFieldsOverDefaults)
{
    SimOptions o;
    ASSERT_EQ(1, parse({}, o));
    EXPECT_STREQ("\\\\.\\pipe\\aerovane-console", o.pipeName);
    EXPECT_EQ(1000u, o.historyCount);
    EXPECT_EQ(1000u, o.ackTimeoutMs);
    EXPECT_FALSE(o.fixedStart);

    ASSERT_EQ(1, parse({"--history=7", "--history=65535", "--now=2024-02-29T07:45", "--pipe=\\\\.\\pipe\\t1",
                        "--live-interval=50", "--swap-packets"},
                       o));
    EXPECT_EQ(65535u, o.historyCount); // the last one counts
    EXPECT_TRUE(o.fixedStart);
    EXPECT_EQ(2024, o.start.year);
    EXPECT_EQ(29, o.start.day);
    EXPECT_EQ(45, o.start.minute);
    EXPECT_STREQ("\\\\.\\pipe\\t1", o.pipeName);
    EXPECT_EQ(50u, o.liveIntervalMs);
    EXPECT_TRUE(o.swapPackets);
}

TEST(SimOptions, LostPacketNumberAndDamagedCountTellOffFromZero)
{
    SimOptions o;
    ASSERT_EQ(1, parse({}, o));
    EXPECT_EQ(0u, o.losePacket);
    EXPECT_FALSE(o.damageCount);
    EXPECT_FALSE(o.repeatPacket);

    ASSERT_EQ(1, parse({"--lose-packet"}, o));
    EXPECT_EQ(2u, o.losePacket); // the bare form older scripts use
    ASSERT_EQ(1, parse({"--lose-packet=1", "--damage-count=0", "--repeat-packet"}, o));
    EXPECT_EQ(1u, o.losePacket);
    EXPECT_TRUE(o.damageCount); // count 0 is a fault too
    EXPECT_EQ(0u, o.countOnDamage);
    EXPECT_TRUE(o.repeatPacket);
    ASSERT_EQ(1, parse({"--lose-packet=9", "--lose-packet"}, o));
    EXPECT_EQ(2u, o.losePacket);
}

TEST(SimOptions, BadValuesAreRefusedWithTheReason)
{
    const char* bad[] = {"--history=65536", "--history=-1", "--history=", "--history", "--history=12x",
                         "--ack-timeout=9", "--now=2026-02-29T10:00", "--now=2026-3-7T10:00",
                         "--now=2026-03-07 10:00", "--once=1", "--pipe=", "--bogus", "history=5",
                         "--seed=4294967296", "--history-interval=0", "--lose-packet=0", "--lose-packet=16",
                         "--lose-packet=", "--damage-count=65536", "--damage-count", "--repeat-packet=1"};
    for (const char* arg : bad) {
        SimOptions o;
        std::string error;
        EXPECT_EQ(0, parse({arg}, o, &error)) << arg;
        EXPECT_NE(std::string::npos, error.find(arg)) << error;
    }
    std::string longName = "--log=" + std::string(SIM_TEXT_OPTION_SIZE, 'x');
    SimOptions o;
    EXPECT_EQ(0, parse({longName.c_str()}, o));
}
