// The autumn night's repeated hour: which local minutes come twice by a
// zone's rules, which pass each record of a download belongs to, and the
// archive keeping both passes of a download and of the live observations
// in the order they happened.
#include "archive/repeated_hour.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "archive/outbox.h"
#include "export/export_csv.h"
#include "export/export_file.h"
#include "sim/station_model.h"
#include "tests/archive/archive_reading.h"
#include "tests/support/process_linux.h"
#include "tests/support/whole_period_request.h"

namespace {

std::int64_t at(int year, int month, int day, int hour, int minute)
{
    return minutesFromCivil({year, month, day, hour, minute});
}

// The machine's zone for one test, whatever the machine's own is.
class InZone {
public:
    explicit InZone(const char* zone)
    {
        const char* was = std::getenv("TZ");
        hadZone = was != nullptr;
        if (was)
            previous = was;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~InZone()
    {
        if (hadZone)
            setenv("TZ", previous.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool hadZone = false;
    std::string previous;
};

// A zone of its own: UTC+2 until 2026-10-25T01:00Z, then UTC+1 (Europe's
// rule for that night), so the decisions below need no time-zone data.
long centralEurope(std::int64_t utcSecond)
{
    return utcSecond < at(2026, 10, 25, 1, 0) * 60 ? 7200 : 3600;
}

std::vector<int> foldsOf(const std::vector<std::int64_t>& minutes)
{
    FoldTracker folds(centralEurope);
    std::vector<int> out;
    for (std::int64_t m : minutes)
        out.push_back(folds.next(m).fold);
    return out;
}

// The console's records through the night in Berlin, one every 5 minutes
// from 22:00 UTC, each stamped with the local time the service kept the
// console's clock at; the weather follows the real time.
std::vector<StationRecord> berlinNight(std::size_t count, std::uint32_t seed = 7)
{
    StationModel model;
    initStationModel(model, seed, 30, 40);
    std::vector<StationRecord> records(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t utcMinute = at(2026, 10, 24, 22, 0) + static_cast<std::int64_t>(i) * 5;
        const std::time_t t = static_cast<std::time_t>(utcMinute * 60);
        std::tm local{};
        localtime_r(&t, &local);
        Observation obs;
        observeStation(model, utcMinute + 60, obs);
        obs.time = CivilMinute{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min};
        records[i] = StationRecord{};
        formatObservationLine(obs, records[i].text, sizeof records[i].text);
    }
    return records;
}

std::int64_t minuteOf(const StationRecord& record)
{
    ArchiveRow row;
    const char* reason = nullptr;
    EXPECT_EQ(readArchiveRow(record.text, sizeof record.text, row, reason), RowVerdict::accepted) << reason;
    return row.minute;
}

// Each time the archive gives the report, in its order.
std::vector<std::int64_t> observedMinutes(Archive& archive)
{
    std::vector<std::int64_t> minutes;
    const int wanted[] = {StationFields::outdoorTemp};
    EXPECT_EQ(archive.forEachObservation(0, wanted, 1, [&](std::int64_t m, const double*) { minutes.push_back(m); }),
              1);
    return minutes;
}

std::vector<std::int64_t> minutesOf(const std::vector<StationRecord>& records)
{
    std::vector<std::int64_t> minutes;
    for (const StationRecord& r : records)
        minutes.push_back(minuteOf(r));
    return minutes;
}

} // namespace

TEST(RepeatedHour, TheZonesRulesSayWhichMinutesComeTwice)
{
    RepeatedSpan span{};
    {
        InZone berlin("Europe/Berlin");
        ASSERT_EQ(repeatedSpanAt(at(2026, 10, 25, 2, 0), machineUtcOffset, span), 1);
        EXPECT_EQ(span.first, at(2026, 10, 25, 2, 0));
        EXPECT_EQ(span.end, at(2026, 10, 25, 3, 0));
        EXPECT_EQ(repeatedSpanAt(at(2026, 10, 25, 2, 59), machineUtcOffset, span), 1);
        EXPECT_EQ(repeatedSpanAt(at(2026, 10, 25, 1, 59), machineUtcOffset, span), 0);
        EXPECT_EQ(repeatedSpanAt(at(2026, 10, 25, 3, 0), machineUtcOffset, span), 0);
        // The spring night's missing hour and an ordinary night repeat
        // nothing.
        EXPECT_EQ(repeatedSpanAt(at(2026, 3, 29, 2, 30), machineUtcOffset, span), 0);
        EXPECT_EQ(repeatedSpanAt(at(2026, 10, 24, 2, 30), machineUtcOffset, span), 0);
    }
    {
        InZone newYork("America/New_York");
        ASSERT_EQ(repeatedSpanAt(at(2026, 11, 1, 1, 30), machineUtcOffset, span), 1);
        EXPECT_EQ(span.first, at(2026, 11, 1, 1, 0));
        EXPECT_EQ(span.end, at(2026, 11, 1, 2, 0));
        EXPECT_EQ(repeatedSpanAt(at(2026, 10, 25, 2, 30), machineUtcOffset, span), 0);
    }
    {
        // A change in the middle of a minute repeats that minute too.
        // 1970's 300th day is 27 October.
        InZone odd("AAA-2BBB-3,J1/0,J300/14:23:50");
        ASSERT_EQ(repeatedSpanAt(at(1970, 10, 27, 13, 23), machineUtcOffset, span), 1);
        EXPECT_EQ(span.first, at(1970, 10, 27, 13, 23));
        EXPECT_EQ(span.end, at(1970, 10, 27, 14, 24));
    }
}

TEST(RepeatedHour, EachPassNamesItsOwnMomentInUtc)
{
    InZone berlin("Europe/Berlin");
    // 02:30 on the autumn night: 00:30Z at the first pass, 01:30Z at the second.
    EXPECT_EQ(utcSecondOf(at(2026, 10, 25, 2, 30), 0, machineUtcOffset), at(2026, 10, 25, 0, 30) * 60);
    EXPECT_EQ(utcSecondOf(at(2026, 10, 25, 2, 30), 1, machineUtcOffset), at(2026, 10, 25, 1, 30) * 60);
    // Either side of the night, and in summer and winter, one moment.
    EXPECT_EQ(utcSecondOf(at(2026, 10, 25, 1, 59), 0, machineUtcOffset), at(2026, 10, 24, 23, 59) * 60);
    EXPECT_EQ(utcSecondOf(at(2026, 10, 25, 3, 0), 0, machineUtcOffset), at(2026, 10, 25, 2, 0) * 60);
    EXPECT_EQ(utcSecondOf(at(2026, 1, 15, 12, 0), 1, machineUtcOffset), at(2026, 1, 15, 11, 0) * 60);
    // The spring gap's 02:30 is read with winter's offset.
    EXPECT_EQ(utcSecondOf(at(2026, 3, 29, 2, 30), 0, machineUtcOffset), at(2026, 3, 29, 1, 30) * 60);
    EXPECT_EQ(utcSecondOf(at(2026, 3, 29, 3, 0), 0, machineUtcOffset), at(2026, 3, 29, 1, 0) * 60);
}

TEST(RepeatedHour, ThePassFollowsTheOrderTheConsoleSentItsRecordsIn)
{
    const std::int64_t one = at(2026, 10, 25, 1, 55);
    auto minutes = [&](std::initializer_list<int> offsets) {
        std::vector<std::int64_t> out;
        for (int m : offsets)
            out.push_back(one + m);
        return out;
    };
    // 01:55, 02:00 ... 02:55, back to 02:00 ... 02:55, 03:00.
    EXPECT_EQ(foldsOf(minutes({0, 5, 35, 60, 5, 35, 60, 65})), (std::vector<int>{0, 0, 0, 0, 1, 1, 1, 0}));
    // The console's clock set back late, at 03:10: its 03:00 and 03:05 come
    // once, the hour it went back to is the second pass.
    EXPECT_EQ(foldsOf(minutes({60, 65, 70, 20, 25, 60, 65})), (std::vector<int>{0, 0, 0, 1, 1, 1, 0}));
    // Live observations: the same minute again keeps its pass.
    EXPECT_EQ(foldsOf(minutes({64, 5, 5, 6})), (std::vector<int>{0, 1, 1, 1}));
    // A download that starts inside the second pass cannot tell; the
    // archive's stored rows correct it (follow) and the rest follows.
    FoldTracker folds(centralEurope);
    EXPECT_EQ(folds.next(one + 30).fold, 0);
    folds.follow(one + 30, 1);
    EXPECT_EQ(folds.next(one + 35).fold, 1);
    // A clock put back further than the hour, or outside it, is no pass.
    EXPECT_EQ(foldsOf(minutes({100, 10})), (std::vector<int>{0, 0}));
    EXPECT_EQ(foldsOf(minutes({-600, -700})), (std::vector<int>{0, 0}));
}

TEST(RepeatedHour, TheSecondPassSortsBetweenTheFirstAndTheHourAfter)
{
    const RepeatedSpan span{at(2026, 10, 25, 2, 0), at(2026, 10, 25, 3, 0)};
    char first[SORT_TIME_SIZE], second[SORT_TIME_SIZE], lastFirst[SORT_TIME_SIZE], after[SORT_TIME_SIZE];
    sortTimeText("2026-10-25T02:00", 1, span, second);
    sortTimeText("2026-10-25T02:00", 0, span, first);
    sortTimeText("2026-10-25T02:59", 0, span, lastFirst);
    sortTimeText("2026-10-25T03:00", 0, span, after);
    EXPECT_STREQ(first, "2026-10-25T02:00");
    EXPECT_STREQ(second, "2026-10-25T02:59~2026-10-25T02:00");
    EXPECT_LT(std::string(lastFirst), second);
    EXPECT_LT(std::string(second), after);
    // Whole days still take it.
    EXPECT_GT(std::string(second), "2026-10-25");
    EXPECT_LT(std::string(second), "2026-10-25T99");
}

TEST(RepeatedHour, BothPassesOfADownloadAreKeptOnceAndExportAsDownloaded)
{
    InZone berlin("Europe/Berlin");
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    auto archive = openForWriting(path);
    ASSERT_TRUE(archive);
    std::vector<std::string> notes;
    archive->setLog([&](const std::string& text) { notes.push_back(text); });
    // 22:00 UTC to 05:55 UTC: local 00:00 to 06:55, 02:00-02:55 twice
    // (records 24-35 and 36-47).
    const std::vector<StationRecord> night = berlinNight(96);
    ASSERT_EQ(minuteOf(night[26]), minuteOf(night[38]));
    // Overlapping downloads: one before the console's clock went back, one
    // from inside the second pass, and the next day's with them all.
    for (std::size_t end : {std::size_t{36}, std::size_t{42}, night.size()}) {
        MergeCounts counts{};
        ASSERT_EQ(archive->mergeHistory(night.data(), end, counts), 1) << archive->lastError();
        EXPECT_EQ(counts.setAside, 0u);
    }
    // The next day's download again, and one that starts inside the second
    // pass: nothing new, nothing set aside.
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(night.data() + 40, night.size() - 40, counts), 1);
    ASSERT_EQ(archive->mergeHistory(night.data(), night.size(), counts), 1);
    EXPECT_EQ(counts.added, 0u);
    EXPECT_EQ(counts.setAside, 0u);
    EXPECT_EQ(counts.alreadyPresent, 2 * night.size() - 40);
    EXPECT_TRUE(notes.empty()) << notes.front();
    EXPECT_EQ(archive->countRows(RowSource::history), static_cast<long>(night.size()));
    EXPECT_EQ(archive->countSetAside(), 0);
    // Read back in the order they happened.
    EXPECT_EQ(storedLines(*archive), linesOf(night));
    EXPECT_EQ(storedLines(*archive, "2026-10-25", "2026-10-25T99"), linesOf(night));
    EXPECT_TRUE(storedLines(*archive, "2026-10-26", "").empty());
    EXPECT_EQ(observedMinutes(*archive), minutesOf(night));

    // The export from the archive is the export of the download, byte for
    // byte.
    std::string error;
    auto reader = Archive::open(path, ArchiveAccess::read, error);
    ASSERT_TRUE(reader) << error;
    const ExportRequest request = wholePeriodAllSets();
    const LinkFlag cancel{0};
    for (bool csv : {false, true}) {
        const std::string direct = dir.path(csv ? "direct.csv" : "direct.xls");
        const std::string rebuilt = dir.path(csv ? "archive.csv" : "archive.xls");
        std::FILE* a = std::fopen(direct.c_str(), "wb");
        std::FILE* b = std::fopen(rebuilt.c_str(), "wb");
        ASSERT_TRUE(a && b);
        RecordCursor cursor(*reader, "", "");
        const ExportSource source{[](void* c) { return static_cast<RecordCursor*>(c)->next(); }, &cursor};
        if (csv) {
            EXPECT_EQ(writeCsvFile(a, night.data(), night.size(), request, DEFAULT_UNIT_SETTINGS, cancel),
                      ExportOutcome::written);
            EXPECT_EQ(writeCsvFile(b, source, request, DEFAULT_UNIT_SETTINGS, cancel), ExportOutcome::written);
        } else {
            EXPECT_EQ(writeExportFile(a, night.data(), night.size(), request, cancel), ExportOutcome::written);
            EXPECT_EQ(writeExportFile(b, source, request, cancel), ExportOutcome::written);
        }
        EXPECT_TRUE(e2e::readFile(direct) == e2e::readFile(rebuilt)) << (csv ? "csv" : "xls");
    }
}

TEST(RepeatedHour, ADifferentReadingIsStillSetAsideAndASecondPassSetAsideBeforeIsTakenBack)
{
    InZone berlin("Europe/Berlin");
    e2e::TempDir dir;
    auto archive = openForWriting(dir.path("a.sqlite"));
    ASSERT_TRUE(archive);
    const std::vector<StationRecord> night = berlinNight(60);
    const std::vector<StationRecord> other = berlinNight(60, 8);
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(night.data(), night.size(), counts), 1);
    // Another station's readings of the same times, in either pass or in
    // neither: each set aside.
    counts = MergeCounts{};
    ASSERT_EQ(archive->mergeHistory(other.data(), other.size(), counts), 1);
    EXPECT_EQ(counts.setAside, 60u);
    EXPECT_EQ(storedLines(*archive), linesOf(night));

    // An older aerovane kept the first pass (records 24-35) and set the
    // second (36-47) aside; the next download brings it into its place.
    e2e::TempDir older;
    const std::string olderPath = older.path("a.sqlite");
    auto before = openForWriting(olderPath);
    ASSERT_TRUE(before);
    ASSERT_EQ(before->mergeHistory(night.data(), 36, counts), 1);
    ASSERT_EQ(before->mergeHistory(night.data() + 48, 12, counts), 1);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(olderPath.c_str(), &raw), SQLITE_OK);
    sqlite3_busy_timeout(raw, 5000);
    for (std::size_t i = 36; i < 48; ++i) {
        ArchiveRow row;
        const char* reason = nullptr;
        ASSERT_EQ(readArchiveRow(night[i].text, sizeof night[i].text, row, reason), RowVerdict::accepted);
        const std::string sql = "INSERT INTO set_aside VALUES ('" + std::string(row.time) + "', 1, '"
                              + night[i].text + "', '2025-10-26T02:00:00Z')";
        EXPECT_EQ(sqlite3_exec(raw, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(raw);
    EXPECT_EQ(before->countSetAside(), 12);
    counts = MergeCounts{};
    ASSERT_EQ(before->mergeHistory(night.data(), night.size(), counts), 1);
    EXPECT_EQ(counts.added, 12u);
    EXPECT_EQ(counts.setAside, 0u);
    EXPECT_EQ(before->countSetAside(), 0);
    EXPECT_EQ(storedLines(*before), linesOf(night));
}

TEST(RepeatedHour, LiveObservationsOfBothPassesAreKeptAndTheConsolesRecordPreferred)
{
    InZone berlin("Europe/Berlin");
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    const std::vector<StationRecord> night = berlinNight(60);
    {
        auto archive = openForWriting(path);
        ASSERT_TRUE(archive);
        for (std::size_t i = 0; i < 40; ++i)
            EXPECT_EQ(archive->storeLive(night[i].text, sizeof night[i].text), LiveOutcome::stored) << i;
        EXPECT_EQ(archive->storeLive(night[39].text, sizeof night[39].text), LiveOutcome::sameMinute);
    }
    // The service restarted in the second pass goes on in it.
    auto archive = openForWriting(path);
    ASSERT_TRUE(archive);
    for (std::size_t i = 40; i < 60; ++i)
        EXPECT_EQ(archive->storeLive(night[i].text, sizeof night[i].text), LiveOutcome::stored) << i;
    EXPECT_EQ(archive->countRows(RowSource::live), 60);
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(night.data() + 50, 10, counts), 1);
    EXPECT_EQ(observedMinutes(*archive), minutesOf(night));
    // The networks get each pass at its own moment in UTC.
    std::string error;
    auto outbox = Outbox::open(path, ArchiveAccess::read, error);
    ASSERT_TRUE(outbox) << error;
    std::vector<OutboxObservation> rows;
    bool more = false;
    ASSERT_EQ(outbox->observationsAfter("", 100, rows, more), 1);
    ASSERT_EQ(rows.size(), night.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].observation.utcSecond, (at(2026, 10, 24, 22, 0) + 5 * static_cast<std::int64_t>(i)) * 60)
            << rows[i].sortTime;
    StationRecord latest;
    std::int64_t latestMinute = 0;
    ASSERT_EQ(archive->latestObservation(latest, latestMinute), 1);
    EXPECT_STREQ(latest.text, night.back().text);
}
