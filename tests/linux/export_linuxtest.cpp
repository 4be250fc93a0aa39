// `aerovane export` end to end against the native simulator: the file must
// hold exactly the bytes the export writers give for the records the
// simulator logged as sent (UTF-16 file and CSV, with units, period and data
// sets from the command line and the configuration); a terminal gets a
// progress bar; Ctrl-C stops the console and leaves no file; refusals use
// the program's own texts and a non-zero exit.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "export/export_csv.h"
#include "export/export_file.h"
#include "export/export_options.h"
#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::sentHistory;
using e2e::Simulator;
using e2e::TempDir;

const char* const HISTORY = "--history=400";
const char* const LONG_HISTORY = "--history=20000";
const char* const QUIET = "--live-interval=0";
const char* const NO_UPLOADS = "--upload-interval=0";

ExportRequest requestFor(bool wholePeriod, const char* from, const char* to, const char* sets)
{
    DateParts fromParts{}, toParts{};
    splitDateArgument(from, fromParts);
    splitDateArgument(to, toParts);
    bool chosen[DATA_SET_COUNT];
    EXPECT_EQ(parseDataSetList(sets, chosen, nullptr, 0), 1);
    ExportRequest request{};
    EXPECT_EQ(checkExportRequest(commandLineExportForm(wholePeriod, fromParts, toParts, chosen), request),
              ExportCheck::accepted);
    return request;
}

class ExportCommand : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string file = dir.path("history.xls");
    std::string out = dir.path("out");
    std::string err = dir.path("err");

    void SetUp() override { e2e::writeFile(config, ""); }

    std::vector<std::string> command(const Simulator& simulator, std::vector<std::string> options) const
    {
        std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                                         "export"};
        args.insert(args.end(), options.begin(), options.end());
        return args;
    }

    int run(const std::vector<std::string>& args, bool terminal = false)
    {
        Process exporter(args, out, err, terminal);
        int code = -1;
        EXPECT_TRUE(exporter.waitExit(&code, 120000)) << e2e::readFile(err);
        return code;
    }

    std::string expectedFile(const std::vector<StationRecord>& slots, const ExportRequest& request,
                             const UnitSettings& units, bool csv)
    {
        const std::string path = dir.path("expected");
        LinkFlag cancel{0};
        setCurrentUnitSettings(units);
        std::FILE* stream = std::fopen(path.c_str(), "wb");
        const ExportOutcome outcome = csv ? writeCsvFile(stream, slots.data(), slots.size(), request, units, cancel)
                                          : writeExportFile(stream, slots.data(), slots.size(), request, cancel);
        EXPECT_EQ(outcome, ExportOutcome::written);
        return e2e::readFile(path);
    }
};

TEST_F(ExportCommand, TheFileIsTheWindowsExportOfTheHistorySent)
{
    Simulator simulator(dir, {HISTORY, QUIET, NO_UPLOADS, "--seed=21", "--bad-crc-every=13", "--invalid-rate=100"});
    ASSERT_EQ(run(command(simulator, {"--whole-period", "-o", file})), 0) << e2e::readFile(err);
    const std::vector<StationRecord> sent = sentHistory(simulator);
    ASSERT_EQ(sent.size(), 400u);
    const std::string written = e2e::readFile(file);
    ASSERT_EQ(written.substr(0, 2), "\xFF\xFE");
    EXPECT_TRUE(written == expectedFile(sent, requestFor(true, "", "", "all"), DEFAULT_UNIT_SETTINGS, false));
    EXPECT_EQ(e2e::readFile(err), ""); // no terminal: no progress bar
}

TEST_F(ExportCommand, UnitsPeriodAndDataSetsAreThoseAskedFor)
{
    e2e::writeFile(config, "[units]\ntemperature = \u00B0F\nwind = knots\npressure = mmHg\npressureType = Abs\n");
    Simulator simulator(dir, {HISTORY, QUIET, NO_UPLOADS, "--seed=22", "--now=2026-03-07T09:00"});
    ASSERT_EQ(run(command(simulator, {"--from", "2026-03-02", "--to=2026-3-4", "--sets=outdoor,wind,ch2", "-o", file})),
              0)
        << e2e::readFile(err);
    const UnitSettings units = {TEMPERATURE_FAHRENHEIT, RAIN_MM, PRESSURE_MMHG, WIND_KNOTS, PRESSURE_ABSOLUTE,
                                DIRECTION_POINTS};
    const ExportRequest request = requestFor(false, "2026-03-02", "2026-3-4", "outdoor,wind,ch2");
    const std::string written = e2e::readFile(file);
    EXPECT_TRUE(written == expectedFile(sentHistory(simulator), request, units, false));
    // 400 records half an hour apart reach back past the period's start.
    EXPECT_GT(written.size(), 2000u);
}

TEST_F(ExportCommand, CsvHasTheSameRecordsForDataTools)
{
    Simulator simulator(dir, {HISTORY, QUIET, NO_UPLOADS, "--seed=23", "--invalid-rate=100"});
    ASSERT_EQ(run(command(simulator, {"--whole-period", "--format=csv", "-o", file})), 0) << e2e::readFile(err);
    const std::string written = e2e::readFile(file);
    EXPECT_EQ(written.rfind("time,relPressure (hPa),", 0), 0u);
    EXPECT_TRUE(written == expectedFile(sentHistory(simulator), requestFor(true, "", "", "all"), DEFAULT_UNIT_SETTINGS,
                                        true));
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 401);
}

TEST_F(ExportCommand, ATerminalShowsRecordsAndPerCent)
{
    Simulator simulator(dir, {HISTORY, QUIET, NO_UPLOADS});
    ASSERT_EQ(run(command(simulator, {"--whole-period", "-o", file}), true), 0) << e2e::readFile(out);
    const std::string shown = e2e::readFile(out); // the terminal's output
    EXPECT_NE(shown.find("] 400/400 records 100%"), std::string::npos) << shown;
    EXPECT_NE(shown.find('\r'), std::string::npos);
}

TEST_F(ExportCommand, CtrlCInTheDownloadStopsTheConsoleAndLeavesNoFile)
{
    // Ctrl-C comes after record 50 of 20,000: the download is surely
    // still running.
    Simulator simulator(dir, {LONG_HISTORY, QUIET, NO_UPLOADS});
    Process exporter(command(simulator, {"--whole-period", "-o", file}), out, err);
    ASSERT_TRUE(e2e::waitUntil([&] { return !e2e::linesStartingWith(simulator.log(), "history 50 ").empty(); }))
        << e2e::readFile(simulator.log());
    exporter.signal(SIGINT);
    int code = -1;
    ASSERT_TRUE(exporter.waitExit(&code));
    EXPECT_EQ(code, 130);
    EXPECT_FALSE(e2e::fileExists(file));
    EXPECT_TRUE(e2e::waitUntil([&] { return !e2e::linesStartingWith(simulator.log(), "history-stopped").empty(); }))
        << "CMD_STOP did not reach the console";
}

TEST_F(ExportCommand, SigtermWorksLikeCtrlC)
{
    Simulator simulator(dir, {LONG_HISTORY, QUIET, NO_UPLOADS});
    Process exporter(command(simulator, {"--whole-period", "--format=csv", "-o", file}), out, err);
    ASSERT_TRUE(e2e::waitUntil([&] { return !e2e::linesStartingWith(simulator.log(), "history 50 ").empty(); }));
    exporter.signal(SIGTERM);
    int code = -1;
    ASSERT_TRUE(exporter.waitExit(&code));
    EXPECT_NE(code, 0);
    EXPECT_FALSE(e2e::fileExists(file));
}

// ---- A console that loses, repeats and damages ------------------------------

// The file holds exactly the records the console delivered whole, in order;
// records lost on the way are told on stderr, and the export still ends.
TEST_F(ExportCommand, EveryRecordDeliveredWholeLandsOnceWhateverTheConsoleLoses)
{
    const struct {
        std::vector<std::string> faults;
        std::size_t lost;
    } cases[] = {
        // The first record's first packet lost: its tail starts the download.
        {{"--lose-packet=1", "--fault-record=1"}, 1},
        // A last packet sent again in the middle of the download: the newest
        // record must not pay for it.
        {{"--repeat-packet", "--fault-record=146"}, 0},
        // The first packet of record 1 given up after ten damaged copies
        // whose count reads 1: no one-record download from it.
        {{"--bad-crc-run=10", "--fault-record=1", "--damage-count=1"}, 1},
        // The console stops in the middle of the last record: the download
        // ends after the quiet spell, and the console is told to stop.
        {{"--stall", "--fault-record=147"}, 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults[0]);
        std::vector<std::string> options = {"--history=147", QUIET, NO_UPLOADS, "--seed=31"};
        options.insert(options.end(), c.faults.begin(), c.faults.end());
        Simulator simulator(dir, options, "console" + std::to_string(++n));
        ASSERT_EQ(run(command(simulator, {"--whole-period", "-o", file})), 0) << e2e::readFile(err);
        const std::vector<StationRecord> sent = sentHistory(simulator);
        EXPECT_EQ(147u - c.lost, sent.size());
        EXPECT_TRUE(e2e::readFile(file) == expectedFile(sent, requestFor(true, "", "", "all"), DEFAULT_UNIT_SETTINGS,
                                                        false));
        const std::string said = e2e::readFile(err);
        if (c.lost == 0)
            EXPECT_EQ(said, "");
        else
            EXPECT_EQ(said, "aerovane: " + std::to_string(c.lost)
                                + " of 147 records were lost in the transfer and are not in the file\n");
    }
}

// A file already at -o is replaced only by a complete export: a refusal or a
// write that fails half-way (a file size limit here) leaves it as it was,
// and no partial file behind.
TEST_F(ExportCommand, AFileAlreadyThereSurvivesAnythingButSuccess)
{
    const std::string before = "the user's own file\n";
    e2e::writeFile(file, before, 0640);
    Simulator refusing(dir, {QUIET, NO_UPLOADS, "--refuse-history"}, "refusing");
    EXPECT_EQ(run(command(refusing, {"--whole-period", "-o", file})), 1);
    EXPECT_EQ(e2e::readFile(file), before);

    Simulator simulator(dir, {HISTORY, QUIET, NO_UPLOADS, "--seed=24"});
    std::string line;
    for (const std::string& arg : command(simulator, {"--whole-period", "-o", file}))
        line += " '" + arg + "'";
    // Writes past 1 KiB fail (the signal ignored, so write() says EFBIG).
    EXPECT_EQ(run({"/bin/sh", "-c", "trap '' XFSZ; ulimit -f 1; exec" + line}), 1);
    EXPECT_EQ(e2e::readFile(err), "aerovane: write file failed !\n");
    EXPECT_EQ(e2e::readFile(file), before);

    ASSERT_EQ(run(command(simulator, {"--whole-period", "-o", file})), 0) << e2e::readFile(err);
    std::vector<StationRecord> sent = sentHistory(simulator);
    ASSERT_EQ(sent.size(), 800u); // the failed export's transfer, then this one's
    sent.erase(sent.begin(), sent.begin() + 400);
    EXPECT_TRUE(e2e::readFile(file) == expectedFile(sent, requestFor(true, "", "", "all"), DEFAULT_UNIT_SETTINGS, false));
    struct stat status {};
    ASSERT_EQ(stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u) << "the file keeps its mode";

    const std::string folder = file.substr(0, file.rfind('/'));
    DIR* listing = opendir(folder.c_str());
    ASSERT_NE(listing, nullptr);
    while (const dirent* entry = readdir(listing))
        EXPECT_EQ(std::string(entry->d_name).find(".partial-"), std::string::npos) << entry->d_name;
    closedir(listing);
}

// ---- Refusals ---------------------------------------------------------------

TEST_F(ExportCommand, RefusalsUseTheProgramsOwnTexts)
{
    Simulator noHistory(dir, {QUIET, NO_UPLOADS, "--no-history"}, "empty");
    Simulator refusing(dir, {QUIET, NO_UPLOADS, "--refuse-history"}, "refusing");
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {command(noHistory, {"--from=2026-1-1", "--to=2016-12-31", "-o", file}), "aerovane: Year input error !\n"},
        {command(noHistory, {"--from=2026-0-1", "--to=2026-12-31", "-o", file}), "aerovane: Month input error !\n"},
        {command(noHistory, {"--from=2026-1-1", "--to=2026-12-32", "-o", file}), "aerovane: Day input error !\n"},
        {command(noHistory, {"--whole-period", "-o", dir.path("no/such/folder.csv")}),
         "aerovane: write file failed !\n"},
        {command(noHistory, {"--whole-period", "-o", dir.path(std::string(300, 'x'))}),
         "aerovane: File name error!\n"},
        {command(noHistory, {"--whole-period", "-o", file}), "aerovane: Not history data NOW!\n"},
        {command(refusing, {"--whole-period", "-o", file}), "aerovane: the console stopped the transfer\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ(run(c.args), 1);
        EXPECT_EQ(e2e::readFile(err), c.says);
        EXPECT_FALSE(e2e::fileExists(file));
    }
}

// Mistakes in the period are usage errors, told before any console is asked.
TEST_F(ExportCommand, ADayThatDoesNotExistOrAPeriodEndingBeforeItStartsIsAUsageError)
{
    Simulator simulator(dir, {QUIET, NO_UPLOADS});
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {command(simulator, {"--from=2026-02-31", "--to=2026-3-31", "-o", file}),
         "aerovane: there is no such day as 2026-02-31\n"},
        {command(simulator, {"--from=2026-02-01", "--to=2025-02-29", "-o", file}),
         "aerovane: there is no such day as 2025-02-29\n"},
        {command(simulator, {"--from=2026-3-2", "--to=2026-03-01", "-o", file}),
         "aerovane: the period ends (2026-03-01) before it starts (2026-3-2)\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ(run(c.args), 2);
        EXPECT_EQ(e2e::readFile(err), c.says);
        EXPECT_FALSE(e2e::fileExists(file));
    }
    EXPECT_TRUE(e2e::linesStartingWith(simulator.log(), "read-history").empty());
}

TEST_F(ExportCommand, NoConsoleIsRefusedAfterAShortWait)
{
    std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "--console=" + dir.path("absent.sock"),
                                     "export", "--whole-period", "-o", file};
    EXPECT_EQ(run(args), 1);
    EXPECT_EQ(e2e::readFile(err), "aerovane: No connection\n");
    EXPECT_FALSE(e2e::fileExists(file));
}

} // namespace
