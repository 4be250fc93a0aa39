#include "upload/delivery_schedule.h"

namespace {

constexpr long FIRST_RETRY_SECONDS = 30;

std::int64_t floorDivide(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

void miss(DeliveryChoice& choice, std::int64_t utcSecond)
{
    if (choice.missed == 0)
        choice.missedFirst = utcSecond;
    choice.missedLast = utcSecond;
    ++choice.missed;
}

} // namespace

std::int64_t deliverySlot(std::int64_t utcSecond, int intervalMinutes)
{
    return floorDivide(utcSecond, static_cast<std::int64_t>(intervalMinutes < 1 ? 1 : intervalMinutes) * 60);
}

DeliveryChoice chooseDelivery(const DeliveryRules& rules, std::int64_t lastSlot, const std::int64_t* utcSeconds,
                              std::size_t count, bool more, std::int64_t now)
{
    DeliveryChoice choice{};
    std::size_t batch = rules.batchSize < 1 ? 1 : static_cast<std::size_t>(rules.batchSize);
    batch = batch > DELIVERY_BATCH_LIMIT ? DELIVERY_BATCH_LIMIT : batch;
    const std::int64_t horizon = rules.takesPast ? now - static_cast<std::int64_t>(rules.backfillDays) * 86400
                                                 : now - static_cast<std::int64_t>(rules.currentWithinMinutes) * 60;
    std::int64_t slot = lastSlot;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int64_t at = utcSeconds[i];
        if (at > now + DELIVERY_FUTURE_TOLERANCE_SECONDS)
            break;
        const std::int64_t its = deliverySlot(at, rules.intervalMinutes);
        const bool wanted = its > slot;
        const bool newest = i + 1 == count && !more;
        if (wanted && at >= horizon && (rules.takesPast || newest)) {
            choice.send[choice.sendCount++] = i;
            slot = its;
            if (choice.sendCount == batch)
                break;
            continue;
        }
        if (choice.sendCount > 0)
            continue; // between two sent in one batch: the mark passes it with them
        // Current only: one passed over for a newer one is never sent either.
        if (wanted && (at < horizon || !rules.takesPast))
            miss(choice, at);
        choice.passOver = i + 1;
    }
    return choice;
}

long retryDelaySeconds(int failures)
{
    long delay = FIRST_RETRY_SECONDS;
    for (int n = 1; n < failures && delay < RETRY_DELAY_LIMIT_SECONDS; ++n)
        delay *= 2;
    return delay < RETRY_DELAY_LIMIT_SECONDS ? delay : RETRY_DELAY_LIMIT_SECONDS;
}
