#include "readings/number_text.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace {

std::wstring fixed(double value, int decimals)
{
    wchar_t out[400];
    const std::size_t length = formatFixed(value, decimals, out, 400);
    EXPECT_EQ(length, std::wstring(out).size());
    return out;
}

TEST(FormatFixed, AnExactHalfRoundsAwayFromZero)
{
    EXPECT_EQ(fixed(0.125, 2), L"0.13");
    EXPECT_EQ(fixed(0.375, 2), L"0.38");
    EXPECT_EQ(fixed(-0.125, 2), L"-0.13");
    EXPECT_EQ(fixed(1023.125, 2), L"1023.13");
    EXPECT_EQ(fixed(0.25, 1), L"0.3");
    EXPECT_EQ(fixed(-0.25, 1), L"-0.3");
    EXPECT_EQ(fixed(0.5, 0), L"1");
    EXPECT_EQ(fixed(2.5, 0), L"3");
}

TEST(FormatFixed, DecimalsThatOnlyLookLikeHalvesRoundByTheirTrueValue)
{
    // 0.15 is stored as 0.1499..., 0.45 as 0.4500...01, and so on.
    EXPECT_EQ(fixed(0.15, 1), L"0.1");
    EXPECT_EQ(fixed(0.35, 1), L"0.3");
    EXPECT_EQ(fixed(0.45, 1), L"0.5");
    EXPECT_EQ(fixed(1.005, 2), L"1.00");
    EXPECT_EQ(fixed(2.675, 2), L"2.67");
    EXPECT_EQ(fixed(0.045, 2), L"0.04");
}

TEST(FormatFixed, MatchesExactRoundingAcrossEighths)
{
    // n / 8 is exact in binary; every fourth step is a half at two decimals
    // and every other step a half at one.
    for (int n = -4000; n <= 4000; ++n) {
        const double value = n / 8.0;
        for (int decimals = 1; decimals <= 2; ++decimals) {
            const long long scale = decimals == 1 ? 10 : 100;
            const long long magnitude = std::llabs(n) * scale;
            const long long rounded = (magnitude + 4) / 8; // halves go up in size
            std::wstring expected = n < 0 ? L"-" : L"";
            expected += std::to_wstring(rounded / scale) + L".";
            std::wstring fraction = std::to_wstring(rounded % scale);
            expected += std::wstring(static_cast<std::size_t>(decimals) - fraction.size(), L'0') + fraction;
            ASSERT_EQ(fixed(value, decimals), expected) << n << "/8 with " << decimals;
        }
    }
}

TEST(FormatFixed, CarriesAndPads)
{
    EXPECT_EQ(fixed(9.96, 1), L"10.0");
    EXPECT_EQ(fixed(-9.96, 1), L"-10.0");
    EXPECT_EQ(fixed(99.999, 2), L"100.00");
    EXPECT_EQ(fixed(0.05, 2), L"0.05");
    EXPECT_EQ(fixed(3.0, 2), L"3.00");
    EXPECT_EQ(fixed(0.001, 2), L"0.00");
    EXPECT_EQ(fixed(0.0, 1), L"0.0");
    EXPECT_EQ(fixed(-0.04, 1), L"-0.0");
}

TEST(FormatFixed, WritesEveryDigitOfLargeAndTinyValues)
{
    EXPECT_EQ(fixed(1e20, 1), L"100000000000000000000.0");
    EXPECT_EQ(fixed(std::ldexp(1.0, 70), 2), L"1180591620717411303424.00");
    EXPECT_EQ(fixed(std::ldexp(1.0, 53) + 2, 1), L"9007199254740994.0");
    const std::wstring largest = fixed(std::numeric_limits<double>::max(), 2);
    EXPECT_EQ(largest.size(), 312u);
    EXPECT_EQ(largest.substr(0, 17), L"17976931348623157");
    EXPECT_EQ(fixed(std::numeric_limits<double>::denorm_min(), 2), L"0.00");
    EXPECT_EQ(fixed(-std::numeric_limits<double>::denorm_min(), 2), L"-0.00");
}

TEST(FormatFixed, NamesInfinityAndNaNTheSameEverywhere)
{
    EXPECT_EQ(fixed(std::numeric_limits<double>::infinity(), 1), L"inf");
    EXPECT_EQ(fixed(-std::numeric_limits<double>::infinity(), 2), L"-inf");
    EXPECT_EQ(fixed(std::numeric_limits<double>::quiet_NaN(), 1), L"nan");
}

TEST(FormatFixed, WritesNothingThatDoesNotFit)
{
    wchar_t out[5] = L"abcd";
    EXPECT_EQ(formatFixed(71.9, 1, out, 5), 4u);
    EXPECT_STREQ(out, L"71.9");
    EXPECT_EQ(formatFixed(212.0, 1, out, 5), 0u);
    EXPECT_STREQ(out, L"");
    out[0] = L'z';
    EXPECT_EQ(formatFixed(1.0, 1, out, 0), 0u);
    EXPECT_EQ(out[0], L'z');
}

TEST(ReadDecimalNumber, ReadsTheLongestNumberAtTheStart)
{
    EXPECT_EQ(readDecimalNumber(L"21.3"), 21.3f);
    EXPECT_EQ(readDecimalNumber(L" \t-3.5"), -3.5f);
    EXPECT_EQ(readDecimalNumber(L"+2"), 2.0f);
    EXPECT_EQ(readDecimalNumber(L"1e3"), 1000.0f);
    EXPECT_EQ(readDecimalNumber(L"2.5E-1"), 0.25f);
    EXPECT_EQ(readDecimalNumber(L"1e"), 1.0f);
    EXPECT_EQ(readDecimalNumber(L"1e+x"), 1.0f);
    EXPECT_EQ(readDecimalNumber(L".5"), 0.5f);
    EXPECT_EQ(readDecimalNumber(L"5."), 5.0f);
    EXPECT_EQ(readDecimalNumber(L"12abc"), 12.0f);
    EXPECT_EQ(readDecimalNumber(L"1.2.3"), 1.2f);
    EXPECT_EQ(readDecimalNumber(L"0x10"), 0.0f);
    EXPECT_EQ(readDecimalNumber(L"000123.4500"), 123.45f);
}

TEST(ReadDecimalNumber, NoNumberReadsAsZero)
{
    EXPECT_EQ(readDecimalNumber(L"abc"), 0.0f);
    EXPECT_EQ(readDecimalNumber(L"."), 0.0f);
    EXPECT_EQ(readDecimalNumber(L"-"), 0.0f);
    EXPECT_EQ(readDecimalNumber(L"--.-"), 0.0f);
    EXPECT_EQ(readDecimalNumber(L""), 0.0f);
    EXPECT_EQ(readDecimalNumber(nullptr), 0.0f);
    EXPECT_TRUE(std::signbit(readDecimalNumber(L"-0.0")));
}

TEST(ReadDecimalNumber, RoundsToDoubleBeforeSinglePrecision)
{
    // Just above the midpoint of 1 and the next float, but close enough to it
    // that the double in between is the midpoint itself, which then rounds
    // to even: 1.0. A direct decimal-to-float reading would give 1.0000001.
    EXPECT_EQ(readDecimalNumber(L"1.00000005960464478"), 1.0f);
    EXPECT_EQ(readDecimalNumber(L"1.0000000596046449"), std::nextafter(1.0f, 2.0f));
}

TEST(ReadDecimalNumber, HandlesLongAndExtremeTexts)
{
    EXPECT_EQ(readDecimalNumber(L"0.100000000000000000000000000000000000000000000000001"), 0.1f);
    EXPECT_EQ(readDecimalNumber(L"1000000000000000000000000000000000000000000000.5"), INFINITY);
    EXPECT_EQ(readDecimalNumber(L"3.4028235e38"), std::numeric_limits<float>::max());
    EXPECT_EQ(readDecimalNumber(L"1e39"), INFINITY);
    EXPECT_EQ(readDecimalNumber(L"-1e39"), -INFINITY);
    EXPECT_EQ(readDecimalNumber(L"1e400"), INFINITY);
    EXPECT_EQ(readDecimalNumber(L"1e-400"), 0.0f);
    EXPECT_EQ(readDecimalNumber(L"1e99999999999999999999"), INFINITY);
    EXPECT_EQ(readDecimalNumber(L"0.0000000000000000000000000000000000000000000000000000012e54"), 1.2f);
}

TEST(ReadWholeNumber, ReadsDigitsUpToTheFirstOther)
{
    EXPECT_EQ(readWholeNumber(L"225.5"), 225);
    EXPECT_EQ(readWholeNumber(L"  -5"), -5);
    EXPECT_EQ(readWholeNumber(L"+400"), 400);
    EXPECT_EQ(readWholeNumber(L"abc"), 0);
    EXPECT_EQ(readWholeNumber(L""), 0);
    EXPECT_EQ(readWholeNumber(nullptr), 0);
}

TEST(ReadWholeNumber, HoldsOverflowAtTheLimits)
{
    EXPECT_EQ(readWholeNumber(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(readWholeNumber(L"-99999999999999999999"), INT_MIN);
    EXPECT_EQ(readWholeNumber(L"-2147483648"), INT_MIN);
    EXPECT_EQ(readWholeNumber(L"2147483647"), INT_MAX);
}

} // namespace
