// The archive end to end: `aerovane run` against the native simulator
// downloads the console's history into the archive and stores the live
// observations; a second start merges only what is new; a service killed
// in the middle leaves a whole archive that the next start completes;
// `export --from-archive` gives the bytes a direct export gives, and
// `aerovane report` writes the page from it; the autumn night's repeated
// hour is kept, both passes.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include "app/exit_codes.h"
#include "export/export_file.h"
#include "tests/support/process_linux.h"
#include "tests/support/whole_period_request.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

const char* const QUIET = "--upload-interval=0";

// A read-only look of the test's own at the file.
std::string query(const std::string& path, const char* sql)
{
    sqlite3* db = nullptr;
    std::string result = "(error)";
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

long rows(const std::string& path, int source)
{
    const std::string text =
        query(path, ("SELECT count(*) FROM observation WHERE source = " + std::to_string(source)).c_str());
    return text == "(error)" ? -1 : std::stol(text);
}

std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.' || (entry->d_name[1] != '\0' && entry->d_name[1] != '.'))
                names.emplace_back(entry->d_name);
        closedir(d);
    }
    return names;
}

class ArchiveCommands : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string archive = dir.path("data/archive.sqlite");
    std::string out = dir.path("out");
    std::string err = dir.path("err");

    void SetUp() override { e2e::writeFile(config, ""); }

    Process* startService(const Simulator& simulator)
    {
        return new Process({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                            "--archive=" + archive, "run"},
                           out, err);
    }

    void stopService(Process* service)
    {
        service->signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(service->waitExit(&code));
        EXPECT_EQ(code, 0) << e2e::readFile(err);
        delete service;
    }

    bool logged(const std::string& text) { return e2e::readFile(out).find(text) != std::string::npos; }

    int command(const std::vector<std::string>& options)
    {
        std::vector<std::string> args = {e2e::aerovaneBinary(), "--config=" + config, "--archive=" + archive};
        args.insert(args.end(), options.begin(), options.end());
        Process program(args, dir.path("command.out"), dir.path("command.err"));
        int code = -1;
        EXPECT_TRUE(program.waitExit(&code));
        return code;
    }

    // What a direct export of these records writes.
    std::string directExport(const std::vector<StationRecord>& records)
    {
        const std::string path = dir.path("direct.xls");
        LinkFlag cancel{0};
        setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
        std::FILE* stream = std::fopen(path.c_str(), "wb");
        EXPECT_EQ(writeExportFile(stream, records.data(), records.size(), wholePeriodAllSets(), cancel),
                  ExportOutcome::written);
        return e2e::readFile(path);
    }

    std::string archiveExport()
    {
        const std::string path = dir.path("archive.xls");
        EXPECT_EQ(command({"export", "--from-archive", "--whole-period", "-o", path}), 0)
            << e2e::readFile(dir.path("command.err"));
        return e2e::readFile(path);
    }
};

TEST_F(ArchiveCommands, TheServiceKeepsTheHistoryAndTheLiveObservations)
{
    Simulator simulator(dir, {"--history=500", "--history-interval=5", "--live-interval=200", QUIET, "--seed=41",
                              "--now=2026-03-07T09:01", "--bad-crc-every=17"});
    Process* service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 500 records: 500 new, 0 already archived"); }))
        << e2e::readFile(out) << e2e::readFile(err);
    ASSERT_TRUE(e2e::waitUntil([&] { return rows(archive, 2) >= 1; }));
    stopService(service);

    // Every live observation the console finished sending is the line of
    // the row of its minute (the first of each minute is kept).
    std::vector<std::string> live;
    for (const std::string& line : e2e::linesStartingWith(simulator.log(), "live ok "))
        live.push_back(line.substr(8));
    ASSERT_FALSE(live.empty());
    EXPECT_EQ(query(archive, "SELECT line FROM observation WHERE source = 2 ORDER BY time LIMIT 1"), live.front());
    EXPECT_EQ(query(archive, "PRAGMA integrity_check"), "ok");
    // The console's records come back as a direct export of them writes
    // them.
    EXPECT_TRUE(archiveExport() == directExport(e2e::sentHistory(simulator)));
}

TEST_F(ArchiveCommands, ASecondStartMergesOnlyWhatIsNew)
{
    {
        Simulator first(dir, {"--history=300", "--history-interval=5", QUIET, "--seed=42", "--now=2026-03-07T09:01"},
                        "first");
        Process* service = startService(first);
        ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 300 records: 300 new"); }))
            << e2e::readFile(out) << e2e::readFile(err);
        stopService(service);
    }
    // 100 minutes later the console holds 20 new records and has let its 20
    // oldest go.
    Simulator second(dir, {"--history=300", "--history-interval=5", QUIET, "--seed=42", "--now=2026-03-07T10:41"},
                     "second");
    Process* service = startService(second);
    ASSERT_TRUE(e2e::waitUntil([&] {
        return logged("archive: merged 300 records: 20 new, 280 already archived, 0 set aside, 0 malformed");
    })) << e2e::readFile(out);
    stopService(service);
    EXPECT_EQ(rows(archive, 1), 320);
}

TEST_F(ArchiveCommands, AConsoleQuietInItsHistoryIsGivenAMinuteThenWhatCameWholeIsMerged)
{
    const std::string site = dir.path("site");
    e2e::writeFile(config, "[report]\nfolder = " + site + "\nevery = 1\n");
    // Record 41 stops after its second packet and the console falls silent.
    Simulator simulator(dir, {"--history=120", "--history-interval=5", "--live-interval=300", QUIET, "--seed=45",
                              "--now=2026-03-07T09:01", "--fault-record=41", "--stall"});
    Process* service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: downloading"); })) << e2e::readFile(err);
    const auto asked = std::chrono::steady_clock::now();
    // The report page does not wait for the download.
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::fileExists(site + "/index.html"); })) << e2e::readFile(out);
    EXPECT_FALSE(logged("download stopped"));
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 120 records: 40 new"); }, 120000))
        << e2e::readFile(out);
    EXPECT_GE(std::chrono::steady_clock::now() - asked, std::chrono::seconds(59));
    EXPECT_TRUE(logged("archive: download stopped: the console went quiet after 40 of 120 records\n"))
        << e2e::readFile(out);
    EXPECT_EQ(rows(archive, 1), 40);
    // The console, silent since the stall, was told to stop: it sends its
    // live observations again, and the service takes them.
    const std::size_t liveBefore = e2e::linesStartingWith(simulator.log(), "live ok").size();
    EXPECT_TRUE(e2e::waitUntil([&] { return e2e::linesStartingWith(simulator.log(), "live ok").size() > liveBefore + 2; }))
        << e2e::readFile(simulator.log());
    EXPECT_TRUE(service->running());
    stopService(service);
}

TEST_F(ArchiveCommands, ARecordFromTheFutureIsKeptButIsNotThePresent)
{
    {
        Simulator today(dir, {"--history=50", "--history-interval=5", "--live-interval=0", QUIET}, "today");
        Process* service = startService(today);
        ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 50 records: 50 new"); })) << e2e::readFile(err);
        stopService(service);
    }
    // A console whose clock was years ahead for a while.
    Simulator ahead(dir, {"--history=1", "--live-interval=0", QUIET, "--now=2031-06-01T12:00"}, "ahead");
    Process* service = startService(ahead);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 1 records: 1 new"); })) << e2e::readFile(out);
    EXPECT_TRUE(logged("archive: 1 of the records are dated ahead of this machine's clock (the latest "
                       "2031-06-01T12:00)"))
        << e2e::readFile(out);
    stopService(service);
    EXPECT_EQ(rows(archive, 1), 51); // nothing the console sent is lost

    const std::string site = dir.path("site");
    ASSERT_EQ(command({"report", "-o", site}), 0) << e2e::readFile(dir.path("command.err"));
    const std::string page = e2e::readFile(site + "/index.html");
    EXPECT_EQ(page.find("2031"), std::string::npos);
    EXPECT_EQ(page.find("No observations yet"), std::string::npos);
}

TEST_F(ArchiveCommands, AServiceKilledInTheMiddleLeavesAWholeArchiveTheNextStartCompletes)
{
    Simulator simulator(dir, {"--history=30000", "--history-interval=1", QUIET, "--seed=43",
                              "--now=2026-03-07T09:00"});
    Process* service = startService(simulator);
    // Killed once some batches are in: the merge is under way.
    ASSERT_TRUE(e2e::waitUntil([&] { return rows(archive, 1) > 0; }, 120000)) << e2e::readFile(err);
    service->signal(SIGKILL);
    int code = 0;
    ASSERT_TRUE(service->waitExit(&code));
    delete service;
    EXPECT_EQ(query(archive, "PRAGMA integrity_check"), "ok");
    const long kept = rows(archive, 1);
    EXPECT_GT(kept, 0);

    const std::size_t before = e2e::readFile(out).size();
    service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(out).find("archive: merged 30000 records", before) != std::string::npos; },
                               120000))
        << e2e::readFile(out) << e2e::readFile(err);
    stopService(service);
    // Nothing committed before the kill was merged twice or lost. (The
    // console's clock may pass a minute meanwhile: one record more, the
    // oldest gone.)
    const std::string log = e2e::readFile(out).substr(before);
    unsigned long added = 0, already = 0;
    ASSERT_EQ(std::sscanf(log.c_str() + log.find("merged 30000 records: "), "merged 30000 records: %lu new, %lu already",
                          &added, &already),
              2)
        << log;
    EXPECT_EQ(added + already, 30000u);
    EXPECT_GE(already + 1, static_cast<unsigned long>(kept));
    EXPECT_EQ(rows(archive, 1), static_cast<long>(kept + added));
}

TEST_F(ArchiveCommands, TheReportPageIsWrittenWholeByTheCommandAndTheService)
{
    const std::string site = dir.path("site");
    e2e::writeFile(config, "[report]\nfolder = " + site + "\nevery = 1\n");
    Simulator simulator(dir, {"--history=600", "--history-interval=10", QUIET, "--seed=44", "--now=2026-03-07T09:01"});
    Process* service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 600 records"); })) << e2e::readFile(err);
    // Refreshed once the download is in: the page shows its newest record.
    ASSERT_TRUE(e2e::waitUntil([&] { return e2e::readFile(site + "/index.html").find("2026-03-07 09:0") != std::string::npos; }))
        << e2e::readFile(out);
    stopService(service);
    EXPECT_EQ(filesIn(site), std::vector<std::string>{"index.html"});

    const std::string other = dir.path("other/site");
    int code = -1;
    ASSERT_EQ(command({"report", "-o", other}), 0) << e2e::readFile(dir.path("command.err"));
    const std::string page = e2e::readFile(other + "/index.html");
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<svg"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(filesIn(other), std::vector<std::string>{"index.html"});
    // Ctrl-C or SIGTERM stop the command and leave the page that was there.
    for (const int stop : {SIGINT, SIGTERM}) {
        e2e::writeFile(other + "/index.html", "the page before", 0644);
        Process stopped({e2e::aerovaneBinary(), "--config=" + config, "--archive=" + archive, "report", "-o", other},
                        dir.path("stopped.out"), dir.path("stopped.err"), false, stop);
        ASSERT_TRUE(stopped.waitExit(&code));
        EXPECT_EQ(code, 130);
        EXPECT_NE(e2e::readFile(dir.path("stopped.err")).find("stopped: the page was left as it was"), std::string::npos);
        EXPECT_EQ(e2e::readFile(other + "/index.html"), "the page before");
        EXPECT_EQ(filesIn(other), std::vector<std::string>{"index.html"});
    }
    e2e::writeFile(other + "/index.html", page, 0644);
    // And a real browser draws every chart of it without an error.
    code = -1;
    Process browser({"/usr/bin/python3", std::string(AEROVANE_SOURCE_DIR) + "/tests/linux/report_browser_test.py",
                     other + "/index.html", "--screenshots", dir.path("shots")},
                    dir.path("browser.out"), dir.path("browser.err"));
    ASSERT_TRUE(browser.waitExit(&code, 150000));
    EXPECT_EQ(code, 0) << e2e::readFile(dir.path("browser.out")) << e2e::readFile(dir.path("browser.err"));
}

// A zone of the test's own whose clocks go back from summer time (UTC+2)
// to UTC+1, as Europe's do on the last Sunday of October, 8 seconds before
// the top of a minute at least 4 seconds from now: the service and the
// simulator live through the night within a minute or two, on this
// machine's real clock.
std::string zoneFallingBackSoon()
{
    const std::time_t now = std::time(nullptr);
    std::time_t fallBack = (now / 60 + 1) * 60 - 8;
    if (fallBack < now + 4)
        fallBack += 60;
    const std::time_t summer = fallBack + 7200;
    std::tm local{};
    gmtime_r(&summer, &local);
    char zone[80];
    std::snprintf(zone, sizeof zone, "CET-1CEST,%d/0,%d/%02d:%02d:%02d", (local.tm_yday + 265) % 365, local.tm_yday,
                  local.tm_hour, local.tm_min, local.tm_sec);
    return zone;
}

// The records of every download the simulator sent, each once, in the
// order the console holds them.
std::vector<StationRecord> consoleMemory(const Simulator& simulator)
{
    std::vector<StationRecord> records;
    std::set<std::string> seen;
    for (const StationRecord& r : e2e::sentHistory(simulator))
        if (seen.insert(r.text).second)
            records.push_back(r);
    return records;
}

TEST_F(ArchiveCommands, TheAutumnNightsRepeatedHourIsKeptBothPasses)
{
    const char* was = std::getenv("TZ");
    const std::string machineZone = was ? was : "";
    setenv("TZ", zoneFallingBackSoon().c_str(), 1);
    // Whether or not this machine's clock is synchronised, the service
    // passes it on.
    e2e::writeFile(config, "[clock]\nsync = always\n");
    // The console's clock starts at this machine's local time, asks for
    // the clock every second and logs a record a minute.
    Simulator simulator(dir, {"--history=150", "--history-interval=1", "--live-interval=1000",
                              "--clock-interval=1000", QUIET, "--seed=45"});
    Process* service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 150 records: 150 new"); }))
        << e2e::readFile(out) << e2e::readFile(err);
    // The clock exchange sets the console back an hour: its live
    // observations come again at the times of the hour before.
    ASSERT_TRUE(e2e::waitUntil([&] { return query(archive, "SELECT count(*) FROM observation WHERE source = 2 AND fold = 1") != "0"; },
                               100000))
        << e2e::readFile(out) << e2e::readFile(simulator.log());
    // It logs a record of the second pass at the top of the next minute;
    // the next start downloads it, and the one after that brings it again.
    const std::time_t recorded = (std::time(nullptr) / 60 + 1) * 60 + 2;
    ASSERT_TRUE(e2e::waitUntil([&] { return std::time(nullptr) >= recorded; }, 70000));
    for (int download = 2; download <= 3; ++download) {
        stopService(service);
        out = dir.path("out" + std::to_string(download));
        service = startService(simulator);
        ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 150 records"); })) << e2e::readFile(out);
        EXPECT_TRUE(logged(" 0 set aside, 0 malformed")) << e2e::readFile(out);
        // The first pass, an hour ahead of the clock now, is not the future.
        EXPECT_FALSE(logged("dated ahead")) << e2e::readFile(out);
    }
    stopService(service);
    if (was)
        setenv("TZ", machineZone.c_str(), 1);
    else
        unsetenv("TZ");

    EXPECT_NE(query(archive, "SELECT count(*) FROM observation WHERE source = 1 AND fold = 1"), "0");
    EXPECT_EQ(query(archive, "SELECT count(*) FROM set_aside"), "0");
    // The console went back an hour in what it holds, and the archive
    // gives it back as the console sent it.
    const std::vector<StationRecord> memory = consoleMemory(simulator);
    EXPECT_EQ(rows(archive, 1), static_cast<long>(memory.size()));
    EXPECT_TRUE(archiveExport() == directExport(memory));
}

TEST_F(ArchiveCommands, RefusalsSayWhy)
{
    // Nothing to read yet: both readers say so and make no file.
    EXPECT_EQ(command({"export", "--from-archive", "--whole-period", "-o", dir.path("x.xls")}), 1);
    EXPECT_NE(e2e::readFile(dir.path("command.err")).find("no archive at " + archive), std::string::npos);
    EXPECT_FALSE(e2e::fileExists(dir.path("x.xls")));
    EXPECT_EQ(command({"report", "-o", dir.path("site")}), 1);
    EXPECT_FALSE(e2e::fileExists(archive));
    // One service per archive.
    Simulator simulator(dir, {"--history=10", QUIET});
    Process* service = startService(simulator);
    ASSERT_TRUE(e2e::waitUntil([&] { return logged("archive: merged 10 records"); })) << e2e::readFile(err);
    Process second({e2e::aerovaneBinary(), "--config=" + config, "--console=" + simulator.socket(),
                    "--archive=" + archive, "run"},
                   dir.path("second.out"), dir.path("second.err"));
    int code = 0;
    ASSERT_TRUE(second.waitExit(&code));
    EXPECT_EQ(code, EXIT_ARCHIVE_IN_USE);
    EXPECT_NE(e2e::readFile(dir.path("second.err")).find("in use by another aerovane run"), std::string::npos);
    stopService(service);
}

} // namespace
