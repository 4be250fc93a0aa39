// Which archived observations a network gets: every wanted one back to the
// horizon for a network that takes the past, the newest only for one that
// does not, the first of each interval, and never past a record from the
// future.
#include "upload/delivery_schedule.h"

#include <vector>

#include <gtest/gtest.h>

namespace {

constexpr std::int64_t MINUTE = 60;
constexpr std::int64_t DAY = 86400;
// 2026-06-01T12:00:00Z
constexpr std::int64_t NOW = 1780315200;

DeliveryRules backfill(int interval, int batch = 1, int days = 7)
{
    return DeliveryRules{true, interval, batch, 10, days};
}

DeliveryRules currentOnly(int interval)
{
    return DeliveryRules{false, interval, 1, 10, 7};
}

std::vector<std::int64_t> everyMinutes(std::int64_t from, std::int64_t to, int step)
{
    std::vector<std::int64_t> times;
    for (std::int64_t t = from; t <= to; t += step * MINUTE)
        times.push_back(t);
    return times;
}

struct Delivered {
    std::vector<std::vector<std::int64_t>> requests; // the times each request carried
    std::size_t missed = 0;
    std::int64_t missedFirst = 0, missedLast = 0;
    std::size_t mark = 0; // observations the mark has passed
};

// The worker's loop, every reply accepted: a window of `window`
// observations after the mark at a time, the mark moved as the choice says.
Delivered deliver(const DeliveryRules& rules, const std::vector<std::int64_t>& times, std::int64_t now,
            std::size_t window = 50)
{
    Delivered run;
    std::int64_t lastSlot = -1;
    for (int guard = 0; guard < 100000; ++guard) {
        const std::size_t count = std::min(window, times.size() - run.mark);
        const bool more = run.mark + count < times.size();
        const DeliveryChoice choice = chooseDelivery(rules, lastSlot, times.data() + run.mark, count, more, now);
        if (choice.missed > 0) {
            if (run.missed == 0)
                run.missedFirst = choice.missedFirst;
            run.missedLast = choice.missedLast;
            run.missed += choice.missed;
        }
        if (choice.sendCount == 0) {
            if (choice.passOver == 0)
                return run;
            run.mark += choice.passOver;
            continue;
        }
        std::vector<std::int64_t> sent;
        for (std::size_t i = 0; i < choice.sendCount; ++i)
            sent.push_back(times[run.mark + choice.send[i]]);
        run.requests.push_back(sent);
        lastSlot = deliverySlot(sent.back(), rules.intervalMinutes);
        run.mark += choice.send[choice.sendCount - 1] + 1;
    }
    ADD_FAILURE() << "the loop never ended";
    return run;
}

std::vector<std::int64_t> flat(const Delivered& run)
{
    std::vector<std::int64_t> all;
    for (const auto& request : run.requests)
        all.insert(all.end(), request.begin(), request.end());
    return all;
}

TEST(DeliverySchedule, ANetworkThatTakesThePastGetsEveryObservationOfAnOutageOnceInOrder)
{
    // Two days of five-minute observations, none delivered yet.
    const std::vector<std::int64_t> times = everyMinutes(NOW - 2 * DAY, NOW, 5);
    const Delivered run = deliver(backfill(5), times, NOW);
    EXPECT_EQ(flat(run), times);
    EXPECT_EQ(run.requests.size(), times.size());
    EXPECT_EQ(run.missed, 0u);
    EXPECT_EQ(run.mark, times.size());
}

TEST(DeliverySchedule, TheFirstObservationOfEachIntervalIsTheOneSent)
{
    // One-minute observations from 10:03 to 10:31; a ten-minute interval
    // takes 10:03, 10:10, 10:20 and 10:30.
    const std::int64_t at1003 = NOW - 2 * 3600 + 3 * MINUTE;
    const std::vector<std::int64_t> times = everyMinutes(at1003, at1003 + 28 * MINUTE, 1);
    const Delivered run = deliver(backfill(10), times, NOW, 7);
    EXPECT_EQ(flat(run), (std::vector<std::int64_t>{at1003, at1003 + 7 * MINUTE, at1003 + 17 * MINUTE,
                                                     at1003 + 27 * MINUTE}));
    // An interval already served before the mark is not served again.
    const DeliveryChoice again = chooseDelivery(backfill(10), deliverySlot(at1003, 10), times.data() + 1, 3, true, NOW);
    EXPECT_EQ(again.sendCount, 0u);
    EXPECT_EQ(again.passOver, 3u);
}

TEST(DeliverySchedule, ObservationsBeyondTheHorizonAreMissedAndTold)
{
    const std::vector<std::int64_t> times = everyMinutes(NOW - 3 * DAY, NOW, 60);
    const Delivered run = deliver(backfill(5, 1, 1), times, NOW);
    const std::vector<std::int64_t> sent = flat(run);
    ASSERT_FALSE(sent.empty());
    EXPECT_GE(sent.front(), NOW - DAY);
    EXPECT_EQ(sent.back(), NOW);
    EXPECT_EQ(run.missed + sent.size(), times.size());
    EXPECT_EQ(run.missedFirst, NOW - 3 * DAY);
    EXPECT_LT(run.missedLast, NOW - DAY);
}

TEST(DeliverySchedule, ANetworkOfCurrentObservationsGetsTheNewestOnlyAndHearsOfTheStretchItMissed)
{
    // An outage from 08:00: an hour and a half of five-minute observations
    // wait, the newest two minutes old.
    const std::vector<std::int64_t> times = everyMinutes(NOW - 92 * MINUTE, NOW - 2 * MINUTE, 5);
    const Delivered run = deliver(currentOnly(5), times, NOW, 7);
    EXPECT_EQ(flat(run), std::vector<std::int64_t>{NOW - 2 * MINUTE});
    // Every older one wanted is told as missed, the recent ones too.
    EXPECT_EQ(run.missed, times.size() - 1);
    EXPECT_EQ(run.missedFirst, times.front());
    EXPECT_EQ(run.missedLast, NOW - 7 * MINUTE);

    // An outage of minutes: what came meanwhile is told as well.
    const Delivered brief = deliver(currentOnly(1), {NOW - 4 * MINUTE, NOW - 3 * MINUTE, NOW - MINUTE}, NOW);
    EXPECT_EQ(flat(brief), std::vector<std::int64_t>{NOW - MINUTE});
    EXPECT_EQ(brief.missed, 2u);
    EXPECT_EQ(brief.missedFirst, NOW - 4 * MINUTE);
    EXPECT_EQ(brief.missedLast, NOW - 3 * MINUTE);

    // The newest itself grown too old: nothing is sent, all are missed.
    const Delivered late = deliver(currentOnly(5), times, NOW + 30 * MINUTE, 7);
    EXPECT_TRUE(late.requests.empty());
    EXPECT_EQ(late.missed, times.size());
    EXPECT_EQ(late.mark, times.size());
}

TEST(DeliverySchedule, ARecordFromTheFutureWaitsAndTheMarkNeverPassesIt)
{
    // The console's clock ran ahead: a record of 2031 among today's.
    std::vector<std::int64_t> times = {NOW - 10 * MINUTE, NOW - 5 * MINUTE, NOW + 5 * 365 * DAY, NOW + 5 * MINUTE};
    const Delivered run = deliver(backfill(5), times, NOW);
    EXPECT_EQ(flat(run), (std::vector<std::int64_t>{NOW - 10 * MINUTE, NOW - 5 * MINUTE}));
    EXPECT_EQ(run.mark, 2u);
    const Delivered current = deliver(currentOnly(1), {NOW + 5 * 365 * DAY}, NOW);
    EXPECT_EQ(current.mark, 0u);
}

TEST(DeliverySchedule, ABatchCarriesTheWantedObservationsAndPassesTheOthersWithThem)
{
    // 11:00 to 11:59: twelve five-minute intervals.
    const std::vector<std::int64_t> times = everyMinutes(NOW - 60 * MINUTE, NOW - MINUTE, 1);
    const Delivered run = deliver(backfill(5, 4), times, NOW, 60);
    ASSERT_EQ(run.requests.size(), 3u);
    EXPECT_EQ(run.requests[0].size(), 4u);
    EXPECT_EQ(run.requests[2].size(), 4u);
    const std::vector<std::int64_t> sent = flat(run);
    for (std::size_t i = 1; i < sent.size(); ++i)
        EXPECT_EQ(sent[i] - sent[i - 1], 5 * MINUTE);
    // A batch larger than a request may carry is cut to the limit.
    const DeliveryChoice big = chooseDelivery(backfill(1, 1000), -1, times.data(), times.size(), false, NOW);
    EXPECT_EQ(big.sendCount, DELIVERY_BATCH_LIMIT < times.size() ? DELIVERY_BATCH_LIMIT : times.size());
}

TEST(DeliverySchedule, FailuresWaitLongerEachTimeUpToHalfAnHour)
{
    EXPECT_EQ(retryDelaySeconds(1), 30);
    EXPECT_EQ(retryDelaySeconds(2), 60);
    EXPECT_EQ(retryDelaySeconds(6), 960);
    EXPECT_EQ(retryDelaySeconds(7), RETRY_DELAY_LIMIT_SECONDS);
    EXPECT_EQ(retryDelaySeconds(1000), RETRY_DELAY_LIMIT_SECONDS);
}

} // namespace
