// The archive as a file: its schema and versions, one writer, a file that
// is not an archive, a writer killed in the middle of its work, and exports
// rebuilt from it.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <sqlite3.h>

#include "export/export_csv.h"
#include "export/export_file.h"
#include "readings/field_names.h"
#include "tests/archive/archive_reading.h"
#include "tests/support/model_history.h"
#include "tests/support/process_linux.h"
#include "tests/support/whole_period_request.h"

namespace {

const std::int64_t START = minutesFromCivil({2026, 1, 1, 0, 0});


} // namespace

TEST(ArchiveFile, ANewFileHasTheCurrentSchemaInWalMode)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    std::string error;
    {
        auto archive = Archive::open(path, ArchiveAccess::write, error);
        ASSERT_TRUE(archive) << error;
    }
    RawDatabase raw(path);
    EXPECT_EQ(raw.text("PRAGMA user_version"), std::to_string(ARCHIVE_SCHEMA_VERSION));
    EXPECT_EQ(raw.text("SELECT max(version) FROM schema_version"), std::to_string(ARCHIVE_SCHEMA_VERSION));
    EXPECT_EQ(raw.text("PRAGMA journal_mode"), "wal");
    // Opening again applies nothing twice.
    {
        auto archive = Archive::open(path, ArchiveAccess::write, error);
        ASSERT_TRUE(archive) << error;
    }
    EXPECT_EQ(raw.text("SELECT count(*) FROM schema_version"), std::to_string(ARCHIVE_SCHEMA_VERSION));
}

TEST(ArchiveFile, RefusesWhatItMustNotWriteOrCannotRead)
{
    e2e::TempDir dir;
    std::string error;
    // A newer program's file is left as it is.
    const std::string newer = dir.path("newer.sqlite");
    {
        RawDatabase raw(newer);
        raw.text("PRAGMA user_version=99");
    }
    EXPECT_FALSE(Archive::open(newer, ArchiveAccess::write, error));
    EXPECT_NE(error.find("newer"), std::string::npos) << error;
    EXPECT_FALSE(Archive::open(newer, ArchiveAccess::read, error));
    EXPECT_EQ(RawDatabase(newer).text("PRAGMA user_version"), "99");
    // A file that is no database at all, named by mistake, keeps its bytes.
    const std::string notes = dir.path("notes.txt");
    const std::string text(5000, 'n');
    e2e::writeFile(notes, text);
    EXPECT_FALSE(Archive::open(notes, ArchiveAccess::write, error));
    EXPECT_EQ(e2e::readFile(notes), text);
    // Reading never makes a file.
    const std::string missing = dir.path("missing.sqlite");
    EXPECT_FALSE(Archive::open(missing, ArchiveAccess::read, error));
    EXPECT_FALSE(e2e::fileExists(missing));
    // One writer at a time; readers beside it.
    const std::string path = dir.path("a.sqlite");
    auto writer = Archive::open(path, ArchiveAccess::write, error);
    ASSERT_TRUE(writer) << error;
    EXPECT_FALSE(Archive::open(path, ArchiveAccess::write, error));
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    EXPECT_TRUE(Archive::open(path, ArchiveAccess::read, error)) << error;
    writer.reset();
    EXPECT_TRUE(Archive::open(path, ArchiveAccess::write, error)) << error;
}

TEST(ArchiveFile, AWriterKilledAtAnyMomentLosesNoCommittedRow)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    long committed = 0;
    // Killed each time just after a commit was reported: the next batch's
    // transaction is then open.
    for (int round = 0; round < 4; ++round) {
        const std::string out = dir.path("probe" + std::to_string(round) + ".out");
        e2e::Process probe({ARCHIVE_WRITER_PROBE, path}, out, dir.path("probe.err"));
        ASSERT_TRUE(e2e::waitUntil([&] { return !e2e::linesStartingWith(out, "committed ").empty(); }))
            << e2e::readFile(dir.path("probe.err"));
        probe.signal(SIGKILL);
        int code = 0;
        ASSERT_TRUE(probe.waitExit(&code));
        EXPECT_EQ(code, 128 + SIGKILL);
        for (const std::string& line : e2e::linesStartingWith(out, "committed "))
            committed = std::max(committed, std::stol(line.substr(10)));
        RawDatabase raw(path);
        ASSERT_EQ(raw.text("PRAGMA integrity_check"), "ok");
        const long rows = std::stol(raw.text("SELECT count(*) FROM observation"));
        EXPECT_GE(rows, committed);
        // Whole batches only.
        EXPECT_EQ(rows % static_cast<long>(MERGE_BATCH), 0);
        std::string error;
        auto archive = Archive::open(path, ArchiveAccess::write, error);
        ASSERT_TRUE(archive) << error;
        EXPECT_EQ(archive->countRows(RowSource::history), rows);
    }
    EXPECT_GT(committed, 0);
}

TEST(ArchiveFile, AnExportFromTheArchiveIsTheExportOfTheDownload)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    std::string error;
    auto archive = Archive::open(path, ArchiveAccess::write, error);
    ASSERT_TRUE(archive) << error;
    // Two overlapping downloads with damaged and empty slots among them.
    std::vector<StationRecord> all = modelHistory(START, 3000, 5, 7, 80);
    all[100] = StationRecord{};
    std::strcpy(all[200].text, "12 2026-01-01");
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(all.data(), 2000, counts), 1);
    ASSERT_EQ(archive->mergeHistory(all.data() + 1500, 1500, counts), 1);
    EXPECT_EQ(counts.malformed, 1u);
    // The direct export of the same records: the download without the one
    // the archive refused (an empty slot gives no row in either).
    all.erase(all.begin() + 200);
    auto reader = Archive::open(path, ArchiveAccess::read, error);
    ASSERT_TRUE(reader) << error;
    const ExportRequest request = wholePeriodAllSets();
    const LinkFlag cancel{0};
    UnitSettings units = DEFAULT_UNIT_SETTINGS;
    units.temperatureUnit = TEMPERATURE_FAHRENHEIT;
    units.pressureUnit = PRESSURE_INHG;
    setCurrentUnitSettings(units);
    auto both = [&](const char* name, bool csv) {
        std::FILE* direct = std::fopen(dir.path(std::string("direct.") + name).c_str(), "wb");
        std::FILE* rebuilt = std::fopen(dir.path(std::string("archive.") + name).c_str(), "wb");
        ASSERT_TRUE(direct && rebuilt);
        RecordCursor cursor(*reader, "", "");
        const ExportSource source{[](void* c) { return static_cast<RecordCursor*>(c)->next(); }, &cursor};
        if (csv) {
            EXPECT_EQ(writeCsvFile(direct, all.data(), all.size(), request, units, cancel), ExportOutcome::written);
            EXPECT_EQ(writeCsvFile(rebuilt, source, request, units, cancel), ExportOutcome::written);
        } else {
            EXPECT_EQ(writeExportFile(direct, all.data(), all.size(), request, cancel), ExportOutcome::written);
            EXPECT_EQ(writeExportFile(rebuilt, source, request, cancel), ExportOutcome::written);
        }
        EXPECT_FALSE(cursor.failed());
        const std::string a = e2e::readFile(dir.path(std::string("direct.") + name));
        const std::string b = e2e::readFile(dir.path(std::string("archive.") + name));
        EXPECT_GT(a.size(), 2998u * 100);
        EXPECT_TRUE(a == b) << name << ": " << a.size() << " and " << b.size() << " bytes";
    };
    both("xls", false);
    both("csv", true);
    setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
}

TEST(ArchiveFile, AVersionOneFileMigratesWithItsRowsInPlace)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    // A file as the first aerovane with an archive left it.
    std::string values;
    for (int f = 0; f < static_cast<int>(STATION_FIELD_COUNT); ++f)
        if (f != StationFields::recordDate && f != StationFields::recordTime)
            values += std::string(", ") + stationFieldName(f) + (f == StationFields::windDirPoint ? " TEXT" : " REAL");
    const std::vector<StationRecord> records = modelHistory(START, 3);
    {
        RawDatabase raw(path);
        std::string sql = "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL);"
                          "INSERT INTO schema_version VALUES (1, '2026-01-01T00:00:00Z');"
                          "CREATE TABLE observation (time TEXT NOT NULL, source INTEGER NOT NULL CHECK (source IN (1, 2)),"
                          " line TEXT NOT NULL, stored TEXT NOT NULL"
                        + values + ", PRIMARY KEY (time, source)) WITHOUT ROWID;"
                          "CREATE TABLE set_aside (time TEXT NOT NULL, source INTEGER NOT NULL, line TEXT NOT NULL,"
                          " stored TEXT NOT NULL, UNIQUE (time, source, line));";
        for (std::size_t i = 0; i < records.size(); ++i) {
            char time[ISO_TIME_SIZE];
            isoTimeText(civilFromMinutes(START + 5 * static_cast<std::int64_t>(i)), time);
            sql += std::string("INSERT INTO observation (time, source, line, stored, outdoorTemp) VALUES ('") + time
                 + "', " + (i == 1 ? "2" : "1") + ", '" + records[i].text + "', 'then', 21.5);";
        }
        sql += "PRAGMA user_version=1;";
        ASSERT_EQ(sqlite3_exec(raw.db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    std::string error;
    // A reader leaves it to the service to migrate.
    EXPECT_FALSE(Archive::open(path, ArchiveAccess::read, error));
    EXPECT_NE(error.find("has schema 1 of an older aerovane: start the service (aerovane run) once"), std::string::npos)
        << error;
    {
        auto archive = Archive::open(path, ArchiveAccess::write, error);
        ASSERT_TRUE(archive) << error;
        EXPECT_EQ(archive->countRows(RowSource::history), 2);
        EXPECT_EQ(archive->countRows(RowSource::live), 1);
        // The next download finds them there.
        MergeCounts counts{};
        ASSERT_EQ(archive->mergeHistory(records.data(), records.size(), counts), 1) << archive->lastError();
        EXPECT_EQ(counts.added, 1u);
        EXPECT_EQ(counts.alreadyPresent, 2u);
    }
    RawDatabase raw(path);
    EXPECT_EQ(raw.text("PRAGMA user_version"), "3");
    EXPECT_EQ(raw.text("SELECT group_concat(version) FROM schema_version"), "1,2,3");
    EXPECT_EQ(raw.text("SELECT count(*) FROM outbox"), "0");
    EXPECT_EQ(raw.text("SELECT count(*) FROM observation WHERE fold = 0 AND sortTime = time"), "4");
    EXPECT_EQ(raw.text("SELECT outdoorTemp FROM observation WHERE stored = 'then' AND source = 2"), "21.5");
    EXPECT_EQ(raw.text("PRAGMA integrity_check"), "ok");
}

TEST(ArchiveFile, WhyTheLastFailureFailedCanBeReadFromAnotherThread)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    std::string error;
    ASSERT_TRUE(Archive::open(path, ArchiveAccess::write, error)) << error;
    // A reader cannot store anything: each try fails and says why anew,
    // while another thread reads the reason, as the service's thread reads
    // it after handing a merge to the archive's.
    auto archive = Archive::open(path, ArchiveAccess::read, error);
    ASSERT_TRUE(archive) << error;
    const std::vector<StationRecord> records = modelHistory(START, 1);
    ASSERT_EQ(archive->storeLive(records[0].text, sizeof records[0].text), LiveOutcome::failed);
    const std::string reason = archive->lastError();
    EXPECT_NE(reason.find("cannot store an observation"), std::string::npos) << reason;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i)
            archive->storeLive(records[0].text, sizeof records[0].text);
        done = true;
    });
    long torn = 0;
    while (!done)
        torn += archive->lastError() != reason;
    writer.join();
    EXPECT_EQ(torn, 0);
}
