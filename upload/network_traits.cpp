#include "upload/network_traits.h"

#include "upload/cwop_packet.h"
#include "upload/delivery_schedule.h"
#include "upload/openweathermap_request.h"
#include "upload/pwsweather_request.h"
#include "upload/windy_request.h"
#include "upload/wow_request.h"

namespace {

static_assert(OPENWEATHERMAP_BATCH_LIMIT <= DELIVERY_BATCH_LIMIT, "a batch the outbox cannot choose");

// PWSweather names no interval; WOW takes automatic stations up to every
// 5 minutes; Windy refuses an update within 5 minutes of the last and asks
// nothing of the past; CWOP wants no packet faster than every 5 minutes and
// current conditions only.
const NetworkTraits TABLE[NETWORK_COUNT] = {
    {Network::pwsweather, true, 1, 1, 1, PWSWEATHER_ENDPOINT},
    {Network::wow, true, 5, 5, 1, WOW_ENDPOINT},
    {Network::windy, false, 5, 5, 1, WINDY_ENDPOINT},
    {Network::openWeatherMap, true, 1, 1, static_cast<int>(OPENWEATHERMAP_BATCH_LIMIT), OPENWEATHERMAP_ENDPOINT},
    {Network::cwop, false, 5, 5, 1, CWOP_ENDPOINT},
};

} // namespace

const NetworkTraits* networkTraitsTable()
{
    return TABLE;
}

const NetworkTraits& networkTraits(Network network)
{
    const auto index = static_cast<std::size_t>(network);
    return TABLE[index < NETWORK_COUNT ? index : 0];
}

DeliveryRules networkDeliveryRules(Network network, const NetworkConfig& config)
{
    const NetworkTraits& traits = networkTraits(network);
    int interval = config.intervalMinutes > 0 ? config.intervalMinutes : traits.defaultIntervalMinutes;
    interval = interval < traits.lowestIntervalMinutes ? traits.lowestIntervalMinutes : interval;
    return DeliveryRules{traits.takesPastObservations, interval, traits.batchSize, CURRENT_WITHIN_MINUTES,
                         config.backfillDays};
}
