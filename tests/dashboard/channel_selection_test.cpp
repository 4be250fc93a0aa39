#include "dashboard/channel_selection.h"

#include <gtest/gtest.h>

#include "readings/station_fields.h"

namespace {

TEST(ChannelSelection, ArrowsStepOneChannelAndStopAtTheEnds)
{
    EXPECT_EQ(nextChannel(1), 2);
    EXPECT_EQ(nextChannel(6), 7);
    EXPECT_EQ(nextChannel(7), 7) << "no wrap to channel 1";
    EXPECT_EQ(previousChannel(7), 6);
    EXPECT_EQ(previousChannel(2), 1);
    EXPECT_EQ(previousChannel(1), 1) << "no wrap to channel 7";

    int channel = 1;
    for (int click = 0; click < 10; ++click)
        channel = nextChannel(channel);
    EXPECT_EQ(channel, 7);
    for (int click = 0; click < 3; ++click)
        channel = previousChannel(channel);
    EXPECT_EQ(channel, 4);
}

TEST(ChannelSelection, FieldsOfEachChannelAndOfOutOfRangeValues)
{
    EXPECT_EQ(channelTemperatureField(1), StationFields::ch1Temp);
    EXPECT_EQ(channelHumidityField(1), StationFields::ch1Humidity);
    EXPECT_EQ(channelTemperatureField(7), StationFields::ch7Temp);
    EXPECT_EQ(channelHumidityField(7), StationFields::ch7Humidity);
    EXPECT_EQ(channelTemperatureField(0), StationFields::ch1Temp);
    EXPECT_EQ(channelHumidityField(100), StationFields::ch7Humidity);
    EXPECT_EQ(nextChannel(-3), 2);
    EXPECT_EQ(previousChannel(12), 6);
}

} // namespace
