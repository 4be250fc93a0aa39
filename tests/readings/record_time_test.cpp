#include "readings/record_time.h"

#include <gtest/gtest.h>

TEST(CivilMinutes, KnownDatesAndTheirWayBack)
{
    EXPECT_EQ(minutesFromCivil({1970, 1, 1, 0, 0}), 0);
    EXPECT_EQ(minutesFromCivil({1970, 1, 2, 0, 1}), 1441);
    EXPECT_EQ(minutesFromCivil({1969, 12, 31, 23, 59}), -1);
    // 2000 was a leap year, 2100 will not be.
    EXPECT_EQ(minutesFromCivil({2000, 3, 1, 0, 0}) - minutesFromCivil({2000, 2, 28, 0, 0}), 2 * 1440);
    EXPECT_EQ(minutesFromCivil({2100, 3, 1, 0, 0}) - minutesFromCivil({2100, 2, 28, 0, 0}), 1440);
    // Every minute of a span of years comes back as the date it was made of.
    for (std::int64_t m = minutesFromCivil({2023, 12, 30, 0, 0}); m < minutesFromCivil({2025, 1, 2, 0, 0});
         m += 97) {
        const CivilMinute t = civilFromMinutes(m);
        EXPECT_EQ(minutesFromCivil(t), m);
        EXPECT_GE(t.month, 1);
        EXPECT_LE(t.month, 12);
        EXPECT_GE(t.day, 1);
        EXPECT_LE(t.day, 31);
    }
    const CivilMinute before = civilFromMinutes(-1);
    EXPECT_EQ(before.year, 1969);
    EXPECT_EQ(before.hour, 23);
    EXPECT_EQ(before.minute, 59);
}

TEST(CivilMinutes, IsoTextReadsOnlyItsOwnShape)
{
    std::int64_t m = 0;
    ASSERT_EQ(isoTimeMinutes("2026-12-07T09:05", m), 1);
    EXPECT_EQ(m, minutesFromCivil({2026, 12, 7, 9, 5}));
    for (const char* bad : {"2026-12-07 09:05", "2026-13-07T09:05", "2026-12-00T09:05", "2026-12-07T24:00",
                            "2026-12-07T09:60", "2026-12-07T09:05Z", "2026-12-7T09:05", "", "26-12-07T09:05"})
        EXPECT_EQ(isoTimeMinutes(bad, m), 0) << bad;
}
