// `aerovane live` end to end: the real program against the native console
// simulator. Each line must be the observation the simulator sent (as its
// log records it), converted into the configured units exactly as the
// dashboard and the JSON writer convert it; the clock requests must be
// answered; the configuration file must be read or refused as documented.
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "dashboard/live_json.h"
#include "dashboard/live_line.h"
#include "link/station_link_linux.h"
#include "readings/local_zone_linux.h"
#include "tests/support/configured_units.h"
#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

const UnitSettings CONFIGURED = CONFIGURED_UNITS;
const char* const CONFIG = CONFIGURED_UNITS_SECTION;

// The observations the simulator finished sending, as its log has them.
std::vector<std::string> sentObservations(const Simulator& simulator)
{
    std::vector<std::string> lines;
    for (const std::string& line : e2e::linesStartingWith(simulator.log(), "live ok "))
        lines.push_back(line.substr(8));
    return lines;
}

std::vector<std::string> outputLines(const std::string& path)
{
    return e2e::linesStartingWith(path, "");
}

StationFields parsed(const std::string& line)
{
    StationFields fields{};
    parseStationRecord(line.c_str(), line.size() + 1, fields);
    return fields;
}

class LiveCommand : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string out = dir.path("out");
    std::string err = dir.path("err");

    void SetUp() override { e2e::writeFile(config, CONFIG); }

    // Runs `live` until it printed `count` lines, then ends it with Ctrl-C.
    std::vector<std::string> runLive(const Simulator& simulator, std::vector<std::string> extra, std::size_t count)
    {
        std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                                         "live"};
        args.insert(args.end(), extra.begin(), extra.end());
        Process live(args, out, err);
        EXPECT_TRUE(e2e::waitUntil([&] { return outputLines(out).size() >= count; })) << e2e::readFile(err);
        live.signal(SIGINT);
        int code = -1;
        EXPECT_TRUE(live.waitExit(&code));
        EXPECT_EQ(code, 0);
        return outputLines(out);
    }
};

TEST_F(LiveCommand, EachLineIsTheObservationSentInTheConfiguredUnits)
{
    Simulator simulator(dir, {"--live-interval=200", "--upload-interval=0", "--seed=11", "--invalid-rate=200"});
    const std::vector<std::string> printed = runLive(simulator, {}, 4);
    const std::vector<std::string> sent = sentObservations(simulator);
    ASSERT_GE(sent.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(printed[i], observationLine(parsed(sent[i]), CONFIGURED)) << sent[i];
}

TEST_F(LiveCommand, JsonStreamStartsWithVersionThenOneObjectPerObservation)
{
    // The program and this test read the same zone's rules: the times carry
    // its offset.
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    Simulator simulator(dir, {"--live-interval=200", "--upload-interval=0", "--seed=12", "--invalid-rate=200"});
    const std::vector<std::string> printed = runLive(simulator, {"--json"}, 4);
    ASSERT_GE(printed.size(), 4u);
    EXPECT_EQ(printed[0].rfind("{\"class\":\"VERSION\",", 0), 0u);
    const std::vector<std::string> sent = sentObservations(simulator);
    ASSERT_GE(sent.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(printed[i + 1], observationJsonLine(parsed(sent[i]), CONFIGURED, localUtcOffset));
    // A logger in another zone needs the offset: Berlin is one or two hours
    // ahead of UTC.
    const std::size_t at = printed[1].find("\"time\":\"");
    ASSERT_NE(at, std::string::npos) << printed[1];
    const std::string zone = printed[1].substr(at + 24, 7);
    EXPECT_TRUE(zone == ":00+01:" || zone == ":00+02:") << printed[1];
}

TEST_F(LiveCommand, ClockRequestsAreAnsweredWithThisMachinesTime)
{
    e2e::writeFile(config, std::string(CONFIG) + "[clock]\nsync = always\n");
    Simulator simulator(dir, {"--live-interval=0", "--upload-interval=0", "--clock-interval=300"});
    std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                                     "live"};
    Process live(args, out, err);
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::linesStartingWith(simulator.log(), "clock ok").size() >= 2; }))
        << e2e::readFile(simulator.log());
    EXPECT_TRUE(e2e::linesStartingWith(simulator.log(), "clock off").empty());
    live.signal(SIGTERM);
    int code = -1;
    EXPECT_TRUE(live.waitExit(&code));
    EXPECT_EQ(code, 0);
}

// A clock that is not known to be right is never passed on; `auto` asks the
// kernel, as timedatectl does.
TEST_F(LiveCommand, TheConsolesClockIsSetOnlyFromAClockThatIsRight)
{
    for (const char* sync : {"never", "auto"}) {
        SCOPED_TRACE(sync);
        e2e::writeFile(config, std::string(CONFIG) + "[clock]\nsync = " + sync + "\n");
        Simulator simulator(dir, {"--live-interval=0", "--upload-interval=0", "--clock-interval=300"}, sync);
        Process live({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(), "live"}, out,
                     err);
        EXPECT_TRUE(e2e::waitUntil([&] { return e2e::linesStartingWith(simulator.log(), "clock-request").size() >= 3; }))
            << e2e::readFile(simulator.log());
        const bool setExpected = std::string(sync) == "auto" && systemClockSynchronised();
        if (setExpected) {
            EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::linesStartingWith(simulator.log(), "clock ok").empty(); }));
        } else {
            EXPECT_TRUE(e2e::linesStartingWith(simulator.log(), "clock ").empty()) << e2e::readFile(simulator.log());
        }
        live.signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(live.waitExit(&code));
        EXPECT_EQ(code, 0);
        // Said once, only where `auto` found the clock unsynchronised.
        const std::string said = "clock: this machine's clock is not synchronised";
        const std::string errors = e2e::readFile(err);
        const bool told = errors.find(said) != std::string::npos;
        EXPECT_EQ(told, std::string(sync) == "auto" && !setExpected) << errors;
        if (told) {
            EXPECT_EQ(errors.find(said), errors.rfind(said)) << errors;
        }
    }
}

// One program at a time has the console: the second says who has it and
// where the service's history is, and touches nothing.
TEST_F(LiveCommand, ASecondProgramIsToldTheConsoleIsInUseAndByWhom)
{
    Simulator simulator(dir, {"--live-interval=200", "--upload-interval=0", "--history=20"});
    Process first({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(), "live"}, out, err);
    ASSERT_TRUE(e2e::waitUntil([&] { return !outputLines(out).empty(); })) << e2e::readFile(err);
    const std::string owner = "the console is in use by another program (pid " + std::to_string(first.id());
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"live"}, std::vector<std::string>{"export", "--whole-period", "-o", dir.path("x.xls")}}) {
        std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket()};
        args.insert(args.end(), command.begin(), command.end());
        Process second(args, dir.path("second.out"), dir.path("second.err"));
        int code = -1;
        ASSERT_TRUE(second.waitExit(&code));
        EXPECT_EQ(code, 1) << command[0];
        const std::string said = e2e::readFile(dir.path("second.err"));
        EXPECT_NE(said.find(owner), std::string::npos) << said;
        EXPECT_NE(said.find("export --from-archive"), std::string::npos) << said;
        EXPECT_NE(said.find("journalctl -u aerovane"), std::string::npos) << said;
    }
    EXPECT_FALSE(e2e::fileExists(dir.path("x.xls")));
    // The console never heard of the second programs: one connection only.
    EXPECT_TRUE(e2e::linesStartingWith(simulator.log(), "history-start").empty());
    first.signal(SIGTERM);
    int code = -1;
    ASSERT_TRUE(first.waitExit(&code));
    // Once the owner has gone, the console is free for the next.
    Process next({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(), "live"},
                 dir.path("next.out"), dir.path("next.err"));
    EXPECT_TRUE(e2e::waitUntil([&] { return !outputLines(dir.path("next.out")).empty(); }))
        << e2e::readFile(dir.path("next.err"));
}

// ---- Configuration -----------------------------------------------------------

TEST_F(LiveCommand, AMalformedConfigurationStopsTheProgramAtItsLine)
{
    e2e::writeFile(config, "[units]\n# fine\ntemperature = Kelvin\n");
    Process live({e2e::aerovaneBinary(), "--config=" + config, "--console=" + dir.path("none"), "live"}, out, err);
    int code = -1;
    ASSERT_TRUE(live.waitExit(&code));
    EXPECT_EQ(code, EXIT_CONFIG);
    EXPECT_EQ(e2e::readFile(err), "aerovane: " + config + ":3: unknown unit \"Kelvin\"\n");
    EXPECT_EQ(e2e::readFile(out), "");
}

TEST_F(LiveCommand, AKeyReadableByEveryUserIsWarnedAbout)
{
    // Export refuses the dates at once, after the configuration was read.
    const std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "export",
                                           "--from=1-1-1",        "--to=2020-1-1",      "-o", dir.path("x")};
    const char* const withKey = "[weathercloud]\nstation = s\nkey = secret\n";
    for (unsigned mode : {0644u, 0640u, 0600u}) {
        SCOPED_TRACE(mode);
        e2e::writeFile(config, withKey, mode);
        Process run(args, out, err);
        int code = -1;
        ASSERT_TRUE(run.waitExit(&code));
        const std::string said = e2e::readFile(err);
        EXPECT_EQ(said.find("can be read by every user") != std::string::npos, mode == 0644u) << said;
        EXPECT_NE(said.find("Year input error !"), std::string::npos);
        EXPECT_EQ(said.find("secret"), std::string::npos);
    }
}

TEST_F(LiveCommand, TheShippedExampleConfigurationIsValid)
{
    Process run({e2e::aerovaneBinary(), "--config=" AEROVANE_SOURCE_DIR "/packaging/linux/aerovane.conf.example",
                 "export", "--from=1-1-1", "--to=2020-1-1", "-o", dir.path("x")},
                out, err);
    int code = -1;
    ASSERT_TRUE(run.waitExit(&code));
    EXPECT_EQ(e2e::readFile(err), "aerovane: Year input error !\n");
}

} // namespace
