// The service's log. Under systemd (JOURNAL_STREAM naming the stream) a
// line starts with its priority and carries no stamp, so `journalctl -p
// warning` shows exactly the problems; any other stream gets the stamped
// lines. A fault that repeats is told at its 1st, 10th, 100th... time and
// when it ends, never at every turn.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/archive_keeper_linux.h"
#include "archive/archive.h"
#include "tests/support/process_linux.h"

namespace {

using e2e::Process;
using e2e::Simulator;
using e2e::TempDir;

const char* const QUIET = "--upload-interval=0";

std::vector<std::string> lines(const std::string& path)
{
    return e2e::linesStartingWith(path, "");
}

std::vector<std::string> linesWith(const std::string& path, const std::string& part)
{
    std::vector<std::string> found;
    for (const std::string& line : lines(path))
        if (line.find(part) != std::string::npos)
            found.push_back(line);
    return found;
}

bool hasLine(const std::string& path, const std::string& line)
{
    for (const std::string& each : lines(path))
        if (each == line)
            return true;
    return false;
}

// ---- Priorities for the journal ---------------------------------------------

class JournalStream : public ::testing::Test {
protected:
    TempDir dir;
    std::string config = dir.path("aerovane.conf");
    std::string out = dir.path("out");
    std::string err = dir.path("err");

    void SetUp() override
    {
        // A report folder that cannot be made, its parent being a file:
        // a warning at the first refresh.
        e2e::writeFile(dir.path("blocker"), "not a folder");
        e2e::writeFile(config, "[report]\nfolder = " + dir.path("blocker/site") + "\n");
    }

    // `aerovane run` as systemd starts it, JOURNAL_STREAM naming the file
    // `journal` (out or err) as the journal's stream.
    Process* start(const std::string& console, const std::string& journal)
    {
        e2e::writeFile(out, "");
        e2e::writeFile(err, "");
        struct stat info{};
        EXPECT_EQ(stat(journal.c_str(), &info), 0);
        const std::string stream = std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
        setenv("JOURNAL_STREAM", stream.c_str(), 1);
        auto* service = new Process({e2e::aerovaneBinary(), "--config=" + config, "--console=" + console,
                                     "--archive=" + dir.path("archive.sqlite"), "run"},
                                    out, err);
        unsetenv("JOURNAL_STREAM");
        return service;
    }

    void stop(Process* service)
    {
        service->signal(SIGTERM);
        int code = -1;
        EXPECT_TRUE(service->waitExit(&code));
        EXPECT_EQ(code, 0);
        delete service;
    }
};

const std::regex PRIORITY_NO_STAMP("<[346]>[a-z].*");
const std::regex STAMP("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} ");
const std::regex STAMPED("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [a-z].*");

TEST_F(JournalStream, TheLogLinesOnTheJournalsStreamCarryTheirPriorityAndNoStamp)
{
    Simulator simulator(dir, {"--history=10", QUIET});
    Process* service = start(simulator.socket(), out);
    ASSERT_TRUE(e2e::waitUntil([&] {
        return !linesWith(out, "archive: merged 10 records").empty()
            && !linesWith(out, "the report page was not written").empty();
    })) << e2e::readFile(out) << e2e::readFile(err);
    stop(service);

    EXPECT_TRUE(hasLine(out, "<6>archive: downloading the console's history")) << e2e::readFile(out);
    EXPECT_EQ(linesWith(out, "<6>archive: merged 10 records: ").size(), 1u) << e2e::readFile(out);
    EXPECT_EQ(linesWith(out, "<4>archive: the report page was not written: cannot make the folder " + dir.path("blocker/site")).size(), 1u)
        << e2e::readFile(out);
    for (const std::string& line : lines(out))
        EXPECT_TRUE(std::regex_match(line, PRIORITY_NO_STAMP)) << line;
    // stderr is another stream here: its notes stay as they are.
    EXPECT_TRUE(hasLine(err, "aerovane: console connected")) << e2e::readFile(err);
    for (const std::string& line : lines(err))
        EXPECT_EQ(line.rfind("aerovane: ", 0), 0u) << line;
}

TEST_F(JournalStream, OnlyTheStreamJournalStreamNamesGetsPriorities)
{
    // No console: the program's notes on stderr, the journal's stream now,
    // warn of it; the log on stdout, redirected elsewhere, keeps its stamps.
    Process* service = start(dir.path("no-console"), err);
    ASSERT_TRUE(e2e::waitUntil([&] {
        return !linesWith(err, "<4>aerovane: No connection (").empty()
            && !linesWith(out, "the report page was not written").empty();
    })) << e2e::readFile(out) << e2e::readFile(err);
    stop(service);

    EXPECT_EQ(linesWith(err, "<6>aerovane: archive " + dir.path("archive.sqlite") + ": 0 records").size(), 1u)
        << e2e::readFile(err);
    EXPECT_TRUE(hasLine(err, "<6>aerovane: service stopped")) << e2e::readFile(err);
    // (A note without a priority is information to the journal.)
    for (const std::string& line : lines(err))
        EXPECT_FALSE(std::regex_search(line, STAMP)) << line;
    ASSERT_FALSE(lines(out).empty());
    for (const std::string& line : lines(out))
        EXPECT_TRUE(std::regex_match(line, STAMPED)) << line;
}

// ---- Repeated faults --------------------------------------------------------

// This process's stdout, where the keeper logs, into a file for a while.
class CapturedStdout {
public:
    explicit CapturedStdout(const std::string& path)
    {
        std::fflush(stdout);
        saved = dup(STDOUT_FILENO);
        const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        dup2(file, STDOUT_FILENO);
        close(file);
    }
    ~CapturedStdout()
    {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    CapturedStdout(const CapturedStdout&) = delete;
    CapturedStdout& operator=(const CapturedStdout&) = delete;

private:
    int saved = -1;
};

// Counts the files removed from a folder: each failed page leaves its
// temporary file behind for a moment.
class Removals {
public:
    explicit Removals(const std::string& folder)
        : fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(fd, folder.c_str(), IN_DELETE);
    }
    ~Removals() { close(fd); }
    Removals(const Removals&) = delete;
    Removals& operator=(const Removals&) = delete;

    int count()
    {
        alignas(inotify_event) char events[4096];
        ssize_t got = 0;
        while ((got = read(fd, events, sizeof events)) > 0)
            for (char* at = events; at < events + got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(at);
                seen += (event->mask & IN_DELETE) != 0;
                at += sizeof(inotify_event) + event->len;
            }
        return seen;
    }

private:
    int fd;
    int seen = 0;
};

class RepeatedFaults : public ::testing::Test {
protected:
    TempDir dir;
    std::string log = dir.path("log");
    std::string site = dir.path("site");
    ArchiveKeeper keeper;

    void startKeeper()
    {
        std::string error;
        ASSERT_TRUE(keeper.start(dir.path("archive.sqlite"), site, DEFAULT_UNIT_SETTINGS, error)) << error;
    }
};

TEST_F(RepeatedFaults, AReportThatCannotBeWrittenIsToldAtThe1stAnd10thTimeAndWhenWrittenAgain)
{
    // A folder where the page belongs: every page is made and then cannot
    // take its place.
    ASSERT_EQ(mkdir(site.c_str(), 0755), 0);
    ASSERT_EQ(mkdir((site + "/index.html").c_str(), 0755), 0);
    Removals removals(site);
    {
        CapturedStdout capture(log);
        startKeeper();
        for (int time = 1; time <= 12; ++time) {
            keeper.refreshReport();
            ASSERT_TRUE(e2e::waitUntil([&] { return removals.count() >= time; })) << time;
        }
        ASSERT_EQ(rmdir((site + "/index.html").c_str()), 0);
        keeper.refreshReport();
        ASSERT_TRUE(e2e::waitUntil([&] { return !linesWith(log, "the report page is written again").empty(); }));
        keeper.stop();
    }
    const std::vector<std::string> told = linesWith(log, "archive: the report page was not written: ");
    ASSERT_EQ(told.size(), 2u) << e2e::readFile(log);
    EXPECT_EQ(told[0].find(" in a row)"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find(" (10 times in a row)"), std::string::npos) << told[1];
    EXPECT_EQ(linesWith(log, "archive: the report page is written again, after failing 12 times").size(), 1u)
        << e2e::readFile(log);
    struct stat page{};
    ASSERT_EQ(stat((site + "/index.html").c_str(), &page), 0);
    EXPECT_TRUE(S_ISREG(page.st_mode));
}

TEST_F(RepeatedFaults, AMalformedRecordAtEveryDownloadIsToldAtThe1stAnd10thDownloadAndWhenOneComesWithout)
{
    // The console keeps a malformed record (two here) and sends it at
    // every download.
    StationRecord slots[2] = {};
    std::snprintf(slots[0].text, sizeof slots[0].text, "not a record");
    std::snprintf(slots[1].text, sizeof slots[1].text, "nor this");
    {
        CapturedStdout capture(log);
        startKeeper();
        for (int download = 1; download <= 11; ++download) {
            MergeCounts counts{};
            ASSERT_TRUE(keeper.mergeDownload(slots, 2, counts));
            ASSERT_EQ(counts.malformed, 2u);
        }
        MergeCounts counts{};
        ASSERT_TRUE(keeper.mergeDownload(slots, 0, counts));
        keeper.stop();
    }
    const std::vector<std::string> told = linesWith(log, "malformed record");
    ASSERT_EQ(told.size(), 3u) << e2e::readFile(log);
    EXPECT_NE(told[0].find("archive: refused a malformed record from the console ("), std::string::npos) << told[0];
    EXPECT_NE(told[0].find("), and 1 more in this download"), std::string::npos) << told[0];
    EXPECT_EQ(told[0].find(" in a row)"), std::string::npos) << told[0];
    EXPECT_NE(told[1].find("and 1 more in this download (10 times in a row)"), std::string::npos) << told[1];
    EXPECT_NE(told[2].find("archive: a download without malformed records, after 11 with some"), std::string::npos)
        << told[2];
}

} // namespace
