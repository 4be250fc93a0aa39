#include <gtest/gtest.h>

#include "link/crc16.h"

TEST(Crc16, MatchesPublishedCheckValueAndAnAckReport)
{
    const std::uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(0x31C3, crc16(digits, 0, 9));
    const std::uint8_t ack[] = {0xFC, 0xD4, 0x01, 0x00, 0x00};
    EXPECT_EQ(0xE1BF, crc16(ack, 0, 5));
}

TEST(Crc16, CoversStartUpToButNotIncludingEnd)
{
    // Bytes outside the range must not count: the reports checksum 1..61 only.
    const std::uint8_t report[] = {0x77, 0xFC, 0xD4, 0x01, 0x00, 0x00, 0x99};
    EXPECT_EQ(0xE1BF, crc16(report, 1, 6));
}

TEST(Crc16, EmptyOrInvertedRangeGivesZero)
{
    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_EQ(0, crc16(bytes, 2, 2));
    EXPECT_EQ(0, crc16(bytes, 3, 1));
}
