// A network's delivery rules as configured: the interval never below what
// the network asks for, its own when none is given, its batch and horizon.
#include "upload/network_traits.h"

#include <gtest/gtest.h>

namespace {

TEST(NetworkTraits, TheConfiguredIntervalNeverGoesBelowTheNetworksFloor)
{
    NetworkConfig config;
    config.intervalMinutes = 1;
    config.backfillDays = 3;
    const DeliveryRules wow = networkDeliveryRules(Network::wow, config);
    EXPECT_EQ(wow.intervalMinutes, networkTraits(Network::wow).lowestIntervalMinutes);
    EXPECT_GT(wow.intervalMinutes, 1);
    EXPECT_TRUE(wow.takesPast);
    EXPECT_EQ(wow.backfillDays, 3);
    config.intervalMinutes = 30;
    EXPECT_EQ(networkDeliveryRules(Network::wow, config).intervalMinutes, 30);
    config.intervalMinutes = 0;
    EXPECT_EQ(networkDeliveryRules(Network::cwop, config).intervalMinutes,
              networkTraits(Network::cwop).defaultIntervalMinutes);
    EXPECT_FALSE(networkDeliveryRules(Network::cwop, config).takesPast);
    EXPECT_EQ(networkDeliveryRules(Network::cwop, config).currentWithinMinutes, CURRENT_WITHIN_MINUTES);
    EXPECT_GT(networkDeliveryRules(Network::openWeatherMap, config).batchSize, 1);
}

} // namespace
