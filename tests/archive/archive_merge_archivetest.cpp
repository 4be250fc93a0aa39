// Merging downloads and live observations into the archive, and reading
// them back for exports and the report.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/archive/archive_reading.h"
#include "tests/support/model_history.h"
#include "tests/support/process_linux.h"

namespace {

const std::int64_t START = minutesFromCivil({2026, 11, 1, 0, 0});

} // namespace

TEST(ArchiveMerge, OverlappingDownloadsStoreEachRecordOnce)
{
    e2e::TempDir dir;
    auto archive = openForWriting(dir.path("a.sqlite"));
    ASSERT_TRUE(archive);
    // Two downloads of a console that logged 100 more records between
    // them and let its oldest 60 go (a memory that wraps).
    const std::vector<StationRecord> all = modelHistory(START, 5000);
    const std::vector<StationRecord> first(all.begin(), all.begin() + 4900);
    const std::vector<StationRecord> second(all.begin() + 60, all.end());
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(first.data(), first.size(), counts), 1) << archive->lastError();
    EXPECT_EQ(counts.added, 4900u);
    counts = MergeCounts{};
    ASSERT_EQ(archive->mergeHistory(second.data(), second.size(), counts), 1) << archive->lastError();
    EXPECT_EQ(counts.added, 100u);
    EXPECT_EQ(counts.alreadyPresent, 4840u);
    EXPECT_EQ(counts.setAside, 0u);
    // The oldest records stay although the console has let them go.
    EXPECT_EQ(storedLines(*archive), linesOf(all));
    EXPECT_EQ(archive->countRows(RowSource::history), 5000);
}

TEST(ArchiveMerge, ADifferentReadingOfAStoredTimeIsSetAsideAndToldOnce)
{
    e2e::TempDir dir;
    auto archive = openForWriting(dir.path("a.sqlite"));
    ASSERT_TRUE(archive);
    std::vector<std::string> notes;
    archive->setLog([&](const std::string& text) { notes.push_back(text); });
    const std::vector<StationRecord> original = modelHistory(START, 10, 5, 7);
    // The same times from another station: every reading differs.
    const std::vector<StationRecord> other = modelHistory(START + 25, 10, 5, 8);
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(original.data(), original.size(), counts), 1);
    counts = MergeCounts{};
    ASSERT_EQ(archive->mergeHistory(other.data(), other.size(), counts), 1);
    EXPECT_EQ(counts.added, 5u);
    EXPECT_EQ(counts.setAside, 5u);
    EXPECT_EQ(notes.size(), 5u);
    ASSERT_FALSE(notes.empty());
    EXPECT_NE(notes[0].find("set aside"), std::string::npos) << notes[0];
    // The first reading of each time is the one kept.
    const std::vector<std::string> lines = storedLines(*archive);
    ASSERT_EQ(lines.size(), 15u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10), linesOf(original));
    EXPECT_EQ(archive->countSetAside(), 5);
    // The next daily download brings them again: nothing new to tell.
    counts = MergeCounts{};
    ASSERT_EQ(archive->mergeHistory(other.data(), other.size(), counts), 1);
    EXPECT_EQ(counts.setAside, 0u);
    EXPECT_EQ(counts.alreadyPresent, 10u);
    EXPECT_EQ(notes.size(), 5u);
    EXPECT_EQ(archive->countSetAside(), 5);
}

TEST(ArchiveMerge, MalformedRecordsAreRefusedAndCountedEmptySlotsSkipped)
{
    e2e::TempDir dir;
    auto archive = openForWriting(dir.path("a.sqlite"));
    ASSERT_TRUE(archive);
    std::vector<std::string> notes;
    archive->setLog([&](const std::string& text) { notes.push_back(text); });
    std::vector<StationRecord> records = modelHistory(START, 6);
    std::strcpy(records[1].text, "garbage from a damaged transfer");
    records[3] = StationRecord{}; // a record given up during the download
    records[4].text[20] = '\x01';
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(records.data(), records.size(), counts), 1);
    EXPECT_EQ(counts.added, 3u);
    EXPECT_EQ(counts.malformed, 2u);
    EXPECT_EQ(counts.empty, 1u);
    // Told once per download by the caller, with the first one's reason.
    EXPECT_FALSE(counts.firstMalformed.empty());
    EXPECT_TRUE(notes.empty());
    EXPECT_EQ(storedLines(*archive), (std::vector<std::string>{records[0].text, records[2].text, records[5].text}));
}

TEST(ArchiveMerge, LiveObservationsOneAMinuteAndTheConsolesRecordPreferred)
{
    e2e::TempDir dir;
    auto archive = openForWriting(dir.path("a.sqlite"));
    ASSERT_TRUE(archive);
    const std::vector<StationRecord> live = modelHistory(START, 3, 1, 7);
    const std::vector<StationRecord> liveAgain = modelHistory(START, 3, 1, 9);
    for (const StationRecord& r : live)
        EXPECT_EQ(archive->storeLive(r.text, sizeof r.text), LiveOutcome::stored);
    // A later reading of the same minute is not a second row.
    EXPECT_EQ(archive->storeLive(liveAgain[1].text, sizeof liveAgain[1].text), LiveOutcome::sameMinute);
    std::vector<std::string> notes;
    archive->setLog([&](const std::string& text) { notes.push_back(text); });
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(archive->storeLive("not a record", 13), LiveOutcome::malformed);
    EXPECT_EQ(archive->countRows(RowSource::live), 3);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[1].find("refused 10 malformed live observations"), std::string::npos) << notes[1];
    // The console's record of the middle minute arrives with a download:
    // both stay, and readers take the console's.
    const std::vector<StationRecord> history = modelHistory(START + 1, 1, 1, 11);
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(history.data(), history.size(), counts), 1);
    EXPECT_EQ(counts.added, 1u);
    std::vector<std::int64_t> minutes;
    std::vector<double> temperatures;
    const int wanted[] = {StationFields::indoorTemp, StationFields::recordDate, StationFields::windDirPoint, 99};
    ASSERT_EQ(archive->forEachObservation(START, wanted, 4, [&](std::int64_t minute, const double* values) {
        minutes.push_back(minute);
        temperatures.push_back(values[StationFields::indoorTemp]);
        EXPECT_TRUE(std::isnan(values[StationFields::outdoorTemp])); // not asked for
    }), 1);
    EXPECT_EQ(minutes, (std::vector<std::int64_t>{START, START + 1, START + 2}));
    ArchiveRow consoles;
    const char* reason = nullptr;
    ASSERT_EQ(readArchiveRow(history[0].text, sizeof history[0].text, consoles, reason), RowVerdict::accepted);
    ASSERT_EQ(temperatures.size(), 3u);
    EXPECT_DOUBLE_EQ(temperatures[1], consoles.value[StationFields::indoorTemp]);
    // Exports take the console's records only.
    EXPECT_EQ(storedLines(*archive), (std::vector<std::string>{history[0].text}));
    StationRecord latest;
    std::int64_t latestMinute = 0;
    ASSERT_EQ(archive->latestObservation(latest, latestMinute), 1);
    EXPECT_EQ(latestMinute, START + 2);
    EXPECT_STREQ(latest.text, live[2].text);
    // Bounded: the newest at or before the bound, the console's preferred.
    ASSERT_EQ(archive->latestObservation(latest, latestMinute, START + 1), 1);
    EXPECT_EQ(latestMinute, START + 1);
    EXPECT_STREQ(latest.text, history[0].text);
    EXPECT_EQ(archive->latestObservation(latest, latestMinute, START - 1), 0);
}

TEST(ArchiveMerge, APeriodTakesWholeDaysFromItsFirstToItsLast)
{
    e2e::TempDir dir;
    auto archive = openForWriting(dir.path("a.sqlite"));
    ASSERT_TRUE(archive);
    // Four days of hourly records from 2026-11-01 00:00.
    const std::vector<StationRecord> records = modelHistory(START, 96, 60);
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(records.data(), records.size(), counts), 1);
    EXPECT_EQ(storedLines(*archive, "2026-11-02", "2026-11-03T99"), linesOf(records, 24, 72));
    EXPECT_EQ(storedLines(*archive, "", "2026-11-01T99"), linesOf(records, 0, 24));
    EXPECT_EQ(storedLines(*archive, "2026-11-04", ""), linesOf(records, 72));
    EXPECT_TRUE(storedLines(*archive, "2026-11-05", "").empty());
}
