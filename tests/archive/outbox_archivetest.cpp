// The outbox in the archive's file: what each network has had survives a
// reopen, the service's delivery threads write it beside the archive's
// writer, `status` reads it while they do, and the observations after a
// mark come in the order they happened with the console's record
// preferred.
#include "archive/outbox.h"

#include <cmath>
#include <thread>

#include <gtest/gtest.h>

#include "archive/repeated_hour.h"
#include "tests/archive/archive_reading.h"
#include "tests/support/model_history.h"
#include "tests/support/process_linux.h"

namespace {

const std::int64_t START = minutesFromCivil({2026, 1, 1, 0, 0});

TEST(Outbox, WhatEachNetworkHasHadSurvivesAReopenAndIsReadWhileItIsWritten)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    auto archive = openForWriting(path);
    ASSERT_TRUE(archive);
    std::string error;
    {
        auto outbox = Outbox::open(path, ArchiveAccess::write, error);
        ASSERT_TRUE(outbox) << error;
        OutboxEntry entry;
        ASSERT_EQ(outbox->load("wow", entry), 1);
        EXPECT_EQ(entry.destination, "wow");
        EXPECT_EQ(entry.mark, "");
        EXPECT_EQ(entry.lastSlot, -1);
        entry.mark = "2026-01-01T00:05";
        entry.lastSlot = 5894505;
        entry.lastAccepted = "2026-01-01T00:05";
        entry.acceptedAt = 1767225960;
        entry.lastRefusal = "401: the site's key is wrong";
        entry.refusedConfig = "c0ffee";
        entry.failures = 3;
        entry.nextAttempt = 1767226200;
        entry.lastFailure = "no answer within 20 s";
        ASSERT_EQ(outbox->save(entry), 1) << outbox->lastError();
        OutboxEntry other;
        other.destination = "cwop";
        ASSERT_EQ(outbox->save(other), 1);

        // `status` reads it while the service holds it; a reader writes nothing.
        auto reader = Outbox::open(path, ArchiveAccess::read, error);
        ASSERT_TRUE(reader) << error;
        std::vector<OutboxEntry> all;
        ASSERT_EQ(reader->loadAll(all), 1);
        ASSERT_EQ(all.size(), 2u);
        EXPECT_EQ(all[0].destination, "cwop");
        EXPECT_EQ(all[1].lastRefusal, "401: the site's key is wrong");
        EXPECT_EQ(reader->save(other), 0);
    }
    auto outbox = Outbox::open(path, ArchiveAccess::write, error);
    ASSERT_TRUE(outbox) << error;
    OutboxEntry entry;
    ASSERT_EQ(outbox->load("wow", entry), 1);
    EXPECT_EQ(entry.mark, "2026-01-01T00:05");
    EXPECT_EQ(entry.lastSlot, 5894505);
    EXPECT_EQ(entry.acceptedAt, 1767225960);
    EXPECT_EQ(entry.refusedConfig, "c0ffee");
    EXPECT_EQ(entry.failures, 3);
    EXPECT_EQ(entry.nextAttempt, 1767226200);
    EXPECT_EQ(entry.lastFailure, "no answer within 20 s");
}

TEST(Outbox, ObservationsAfterTheMarkComeInOrderOncePerTimeWithTheConsolesRecordPreferred)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    auto archive = openForWriting(path);
    ASSERT_TRUE(archive);
    // Ten records five minutes apart; the live observations of the first
    // one's minute and of a minute after the last.
    const std::vector<StationRecord> history = modelHistory(START, 10, 5, 7, 300);
    const std::vector<StationRecord> live = modelHistory(START, 12, 5, 8, 0);
    ASSERT_EQ(archive->storeLive(live[0].text, sizeof live[0].text), LiveOutcome::stored);
    ASSERT_EQ(archive->storeLive(live[11].text, sizeof live[11].text), LiveOutcome::stored);
    MergeCounts counts{};
    ASSERT_EQ(archive->mergeHistory(history.data(), history.size(), counts), 1);

    std::string error;
    auto outbox = Outbox::open(path, ArchiveAccess::write, error);
    ASSERT_TRUE(outbox) << error;
    std::vector<OutboxObservation> rows;
    bool more = true;
    ASSERT_EQ(outbox->observationsAfter("", 100, rows, more), 1) << outbox->lastError();
    EXPECT_FALSE(more);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(outbox->countAfter(""), 11);
    std::size_t invalid = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::int64_t minute = START + 5 * static_cast<std::int64_t>(i == 10 ? 11 : i);
        EXPECT_EQ(rows[i].observation.utcSecond, utcSecondOf(minute, 0, machineUtcOffset)) << i;
        // The record's own reading, not the live one's (another seed).
        const StationRecord& source = i < 10 ? history[i] : live[11];
        StationFields fields;
        parseStationRecord(&source, fields);
        const double temp = rows[i].observation.value[StationFields::outdoorTemp];
        if (fieldValueState(fields, StationFields::outdoorTemp) == ValueState::valid)
            EXPECT_DOUBLE_EQ(temp, std::wcstod(fields.text[StationFields::outdoorTemp], nullptr)) << i;
        else
            EXPECT_TRUE(std::isnan(temp)) << i;
        invalid += std::isnan(rows[i].observation.value[StationFields::outdoorHumidity]) ? 1 : 0;
        EXPECT_TRUE(std::isnan(rows[i].observation.value[StationFields::windDirPoint]));
    }
    EXPECT_GT(invalid, 0u) << "the model's invalid readings are NaN";

    // A window at a time, from a mark.
    ASSERT_EQ(outbox->observationsAfter("", 4, rows, more), 1);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_TRUE(more);
    const std::string mark = rows.back().sortTime;
    ASSERT_EQ(outbox->observationsAfter(mark, 100, rows, more), 1);
    EXPECT_EQ(rows.size(), 7u);
    EXPECT_EQ(outbox->countAfter(mark), 7);
    ASSERT_EQ(outbox->observationsAfter(rows.back().sortTime, 100, rows, more), 1);
    EXPECT_TRUE(rows.empty());
}

TEST(Outbox, TheDeliveryThreadsWriteWhileTheArchiveMerges)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    auto archive = openForWriting(path);
    ASSERT_TRUE(archive);
    std::string error;
    auto outbox = Outbox::open(path, ArchiveAccess::write, error);
    ASSERT_TRUE(outbox) << error;
    const std::vector<StationRecord> history = modelHistory(START, 20000, 1);
    std::thread merging([&] {
        MergeCounts counts{};
        EXPECT_EQ(archive->mergeHistory(history.data(), history.size(), counts), 1) << archive->lastError();
    });
    std::vector<std::thread> destinations;
    for (const char* name : {"pwsweather", "wow", "windy"})
        destinations.emplace_back([&outbox, name] {
            for (int i = 0; i < 50; ++i) {
                OutboxEntry entry;
                ASSERT_EQ(outbox->load(name, entry), 1) << outbox->lastError();
                entry.failures = i + 1;
                ASSERT_EQ(outbox->save(entry), 1) << outbox->lastError();
            }
        });
    merging.join();
    for (std::thread& t : destinations)
        t.join();
    OutboxEntry entry;
    ASSERT_EQ(outbox->load("windy", entry), 1);
    EXPECT_EQ(entry.failures, 50);
    EXPECT_EQ(outbox->countAfter(""), 20000);
}

TEST(Outbox, AnArchiveOfAnOlderSchemaHasNoOutboxUntilTheServiceMigratesIt)
{
    e2e::TempDir dir;
    const std::string path = dir.path("a.sqlite");
    { openForWriting(path); }
    RawDatabase(path).text("PRAGMA user_version=2");
    std::string error;
    EXPECT_FALSE(Outbox::open(path, ArchiveAccess::read, error));
    EXPECT_NE(error.find("has schema 2, not 3"), std::string::npos) << error;
}

} // namespace
