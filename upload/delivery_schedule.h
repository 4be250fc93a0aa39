// Which archived observations a weather network gets, and when the next
// attempt is: the outbox's rules, away from the archive, the clock and the
// network, so each is tested with times of its own.
//
// A destination's mark is the last observation delivered or passed over.
// Of the observations after it, in the order they happened, the first of
// each interval of observation time is wanted. A network that takes past
// observations gets every wanted one back to its horizon, oldest first, a
// batch per request; one that takes only current observations gets the
// newest, and only while it is current.
#pragma once

#include <cstddef>
#include <cstdint>

struct DeliveryRules {
    bool takesPast;
    int intervalMinutes;      // at least 1
    int batchSize;            // observations per request, at least 1
    int currentWithinMinutes; // current only: older than this is not sent
    int backfillDays;         // takes past: older than this is not sent
};

// A record stamped more than this far ahead of now waits for its time: the
// mark never passes it, or a console's wrong clock would pass over every
// real observation until then.
constexpr std::int64_t DELIVERY_FUTURE_TOLERANCE_SECONDS = 600;

// The interval of observation time an observation falls in.
std::int64_t deliverySlot(std::int64_t utcSecond, int intervalMinutes);

struct DeliveryChoice {
    std::size_t send[64];   // indices of the observations to send in one request, in order
    std::size_t sendCount;  // 0: nothing to send now
    std::size_t passOver;   // the first passOver observations are passed over whatever the reply
    std::size_t missed;     // of those, wanted ones never to be sent: too old, or (current only) not the newest
    std::int64_t missedFirst, missedLast; // their times (UTC seconds) when missed > 0
};

constexpr std::size_t DELIVERY_BATCH_LIMIT = 64;

// Chooses among `count` observations after the mark (their UTC seconds, in
// order), `lastSlot` the slot of the last one delivered (-1 none) and
// `more` whether the archive holds observations after these. On an
// accepted reply the mark moves to the last one sent.
DeliveryChoice chooseDelivery(const DeliveryRules& rules, std::int64_t lastSlot, const std::int64_t* utcSeconds,
                              std::size_t count, bool more, std::int64_t now);

// Seconds to wait after the n-th failure in a row (n >= 1): 30 s, doubling,
// at most 30 minutes.
long retryDelaySeconds(int failures);
constexpr long RETRY_DELAY_LIMIT_SECONDS = 1800;
