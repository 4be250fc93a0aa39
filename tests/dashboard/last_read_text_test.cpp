#include "dashboard/last_read_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring stamp(int year, int month, int day, int hour, int minute)
{
    wchar_t out[32];
    formatLastReadText(year, month, day, hour, minute, out, 32);
    return out;
}

TEST(LastReadText, KeepsTheTwentyFourHourClockWithAmUpToTwelve)
{
    EXPECT_EQ(stamp(2026, 12, 5, 18, 41), L"12/ 05/ 2026, 18:41 PM");
    EXPECT_EQ(stamp(2026, 3, 7, 13, 5), L"03/ 07/ 2026, 13:05 PM");
    EXPECT_EQ(stamp(2026, 3, 7, 13, 0), L"03/ 07/ 2026, 13:00 PM");
    EXPECT_EQ(stamp(2026, 3, 7, 12, 30), L"03/ 07/ 2026, 12:30 AM");
    EXPECT_EQ(stamp(2026, 3, 7, 12, 59), L"03/ 07/ 2026, 12:59 AM");
    EXPECT_EQ(stamp(2026, 1, 1, 0, 10), L"01/ 01/ 2026, 00:10 AM");
}

TEST(LastReadText, FitsTheStoredTextAndRefusesASmallerBuffer)
{
    wchar_t out[32];
    EXPECT_EQ(formatLastReadText(2026, 12, 5, 18, 41, out, 32), 22u);
    wchar_t small[10] = L"old";
    EXPECT_EQ(formatLastReadText(2026, 12, 5, 18, 41, small, 10), 0u);
    EXPECT_STREQ(small, L"");
}

} // namespace
