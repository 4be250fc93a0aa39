// What waits for the Linux service's upload worker: only the newest text of
// each service, and none older than ten minutes, with a log line when a
// service starts dropping old texts and one when it sends current ones
// again.
#include "upload/upload_queue.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t MINUTE_MS = 60 * 1000;

struct Taken {
    bool any;
    QueuedUpload upload;
    std::vector<std::string> notes;
};

Taken take(UploadQueue& queue, std::int64_t nowMs)
{
    Taken taken{false, QueuedUpload{SERVICE_WEATHER_UNDERGROUND, std::string(), 0}, {}};
    taken.any = takeUpload(queue, nowMs, taken.upload, taken.notes);
    return taken;
}

TEST(UploadQueue, NewerTextTakesTheWaitingOnesPlaceForItsServiceOnly)
{
    UploadQueue queue;
    EXPECT_TRUE(uploadQueueEmpty(queue));
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu 1", 1000);
    queueUpload(queue, SERVICE_WEATHERCLOUD, "wc 1", 2000);
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu 2", 3000);
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu 3", 4000);
    EXPECT_FALSE(uploadQueueEmpty(queue));

    // The newest of Weather Underground, in the place its first had.
    Taken first = take(queue, 5000);
    ASSERT_TRUE(first.any);
    EXPECT_EQ(first.upload.service, SERVICE_WEATHER_UNDERGROUND);
    EXPECT_EQ(first.upload.request, "wu 3");
    EXPECT_EQ(first.upload.madeMs, 4000);
    Taken second = take(queue, 5000);
    ASSERT_TRUE(second.any);
    EXPECT_EQ(second.upload.service, SERVICE_WEATHERCLOUD);
    EXPECT_EQ(second.upload.request, "wc 1");
    EXPECT_FALSE(take(queue, 5000).any);
    EXPECT_TRUE(uploadQueueEmpty(queue));
    EXPECT_TRUE(first.notes.empty());
    EXPECT_TRUE(second.notes.empty());
}

// The console sends Weather Underground's text just before Weathercloud's,
// each time: while one is delivered the next of both come, and each
// service still gets its turn.
TEST(UploadQueue, ServiceWhoseTextsComeFirstDoesNotStarveTheOther)
{
    UploadQueue queue;
    std::vector<UploadService> sent;
    for (std::int64_t second = 0; second < 10; ++second) {
        queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu", second * 1000);
        queueUpload(queue, SERVICE_WEATHERCLOUD, "wc", second * 1000 + 10);
        Taken taken = take(queue, second * 1000 + 20);
        ASSERT_TRUE(taken.any);
        sent.push_back(taken.upload.service);
    }
    EXPECT_EQ(std::count(sent.begin(), sent.end(), SERVICE_WEATHERCLOUD), 5);
    EXPECT_EQ(std::count(sent.begin(), sent.end(), SERVICE_WEATHER_UNDERGROUND), 5);
}

TEST(UploadQueue, TextOlderThanTenMinutesIsDroppedNeverSent)
{
    UploadQueue queue;
    const std::int64_t made = 50 * MINUTE_MS;
    queueUpload(queue, SERVICE_WEATHERCLOUD, "wc exactly ten minutes", made);
    Taken atTheLimit = take(queue, made + 10 * MINUTE_MS);
    ASSERT_TRUE(atTheLimit.any);
    EXPECT_EQ(atTheLimit.upload.request, "wc exactly ten minutes");

    queueUpload(queue, SERVICE_WEATHERCLOUD, "wc too old", made);
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu current", made + 10 * MINUTE_MS);
    Taken next = take(queue, made + 10 * MINUTE_MS + 1);
    ASSERT_TRUE(next.any);
    EXPECT_EQ(next.upload.request, "wu current");
    EXPECT_FALSE(take(queue, made + 10 * MINUTE_MS + 1).any);
    EXPECT_TRUE(uploadQueueEmpty(queue));
}

// One line when a service starts dropping, none for the drops after it, one
// with the count when it has a current text again; each service on its own.
TEST(UploadQueue, DroppingIsLoggedWhenItStartsAndWhenItEnds)
{
    UploadQueue queue;
    std::int64_t now = 100 * MINUTE_MS;
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu old 1", now - 11 * MINUTE_MS);
    Taken started = take(queue, now);
    EXPECT_FALSE(started.any);
    EXPECT_EQ(started.notes, std::vector<std::string>{
                                 "upload: Weather Underground: readings older than 10 minutes are dropped, not sent "
                                 "as current"});

    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu old 2", now - 12 * MINUTE_MS);
    queueUpload(queue, SERVICE_WEATHERCLOUD, "wc current", now - MINUTE_MS);
    Taken meanwhile = take(queue, now);
    ASSERT_TRUE(meanwhile.any);
    EXPECT_EQ(meanwhile.upload.request, "wc current");
    EXPECT_TRUE(meanwhile.notes.empty());

    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu current", now);
    Taken ended = take(queue, now);
    ASSERT_TRUE(ended.any);
    EXPECT_EQ(ended.upload.request, "wu current");
    EXPECT_EQ(ended.notes, std::vector<std::string>{
                               "upload: Weather Underground: sending current readings again, 2 old readings dropped"});

    // A later drop starts afresh.
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu old 3", now);
    EXPECT_EQ(take(queue, now + 11 * MINUTE_MS).notes.size(), 1u);
    queueUpload(queue, SERVICE_WEATHER_UNDERGROUND, "wu current 2", now + 11 * MINUTE_MS);
    EXPECT_EQ(take(queue, now + 11 * MINUTE_MS).notes,
              std::vector<std::string>{"upload: Weather Underground: sending current readings again, 1 old reading "
                                       "dropped"});
}

} // namespace
