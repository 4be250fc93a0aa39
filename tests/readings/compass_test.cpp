#include "readings/compass.h"

#include <climits>
#include <cwchar>

#include <gtest/gtest.h>

#include "readings/units.h"

namespace {

TEST(CompassSectorForDegrees, FollowsTheConsolesBounds)
{
    // First and last bearing of sectors 2..16; N takes the rest.
    const int bounds[][2] = {
        {12, 33},   {34, 55},   {56, 78},   {79, 100},  {101, 123}, {124, 145}, {146, 168}, {169, 191},
        {192, 213}, {214, 235}, {236, 258}, {259, 280}, {281, 303}, {304, 325}, {326, 348},
    };
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(compassSectorForDegrees(bounds[i][0]), i + 2) << bounds[i][0];
        EXPECT_EQ(compassSectorForDegrees(bounds[i][1]), i + 2) << bounds[i][1];
        EXPECT_EQ(compassSectorForDegrees(bounds[i][0] - 1), i + 1) << bounds[i][0] - 1;
    }
}

TEST(CompassSectorForDegrees, NorthWrapsAndTakesOutOfRangeBearings)
{
    for (int degrees : {0, 11, 349, 359, 360, -5, 400, INT_MIN, INT_MAX})
        EXPECT_EQ(compassSectorForDegrees(degrees), 1) << degrees;
    EXPECT_EQ(compassSectorForDegrees(12), 2);
}

TEST(CompassSectorForDegrees, TheGapAt191BelongsToSouth)
{
    EXPECT_EQ(compassSectorForDegrees(190), 9);
    EXPECT_EQ(compassSectorForDegrees(191), 9);
    EXPECT_EQ(compassSectorForDegrees(192), 10);
}

TEST(CompassSectorForPoint, MatchesTheSixteenNamesExactly)
{
    const wchar_t* names[] = {L"N", L"NNE", L"NE", L"ENE", L"E", L"ESE", L"SE", L"SSE",
                              L"S", L"SSW", L"SW", L"WSW", L"W", L"WNW", L"NW", L"NNW"};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(compassSectorForPoint(names[i]), i + 1) << i;
    for (const wchar_t* other : {L"n", L"nne", L"N ", L" N", L"NN", L"--", L""})
        EXPECT_EQ(compassSectorForPoint(other), -1);
    EXPECT_EQ(compassSectorForPoint(nullptr), -1);
}

TEST(Direction, TheUnitChoosesTheFieldAndItsLookup)
{
    StationFields fields;
    std::wcscpy(fields.text[StationFields::windDirDegrees], L"225.5");
    std::wcscpy(fields.text[StationFields::windDirPoint], L"ENE");

    const wchar_t* degrees = directionFieldText(fields, DIRECTION_DEGREES);
    EXPECT_STREQ(degrees, L"225.5");
    EXPECT_EQ(directionSector(degrees, DIRECTION_DEGREES), 11);

    for (std::uint8_t code : {0, 2, 255}) {
        const wchar_t* point = directionFieldText(fields, code);
        EXPECT_STREQ(point, L"ENE");
        EXPECT_EQ(directionSector(point, code), 4);
    }
    EXPECT_EQ(directionSector(L"abc", DIRECTION_DEGREES), 1);
    EXPECT_EQ(directionSector(L" 12", DIRECTION_DEGREES), 2);
    EXPECT_EQ(directionSector(L"225", DIRECTION_POINTS), -1);
}

TEST(Direction, TheDegreeSignOnlyFollowsARealBearing)
{
    EXPECT_TRUE(directionShowsDegreeSign(DIRECTION_DEGREES, L"225"));
    EXPECT_FALSE(directionShowsDegreeSign(DIRECTION_DEGREES, L"--"));
    EXPECT_FALSE(directionShowsDegreeSign(DIRECTION_DEGREES, L"-5"));
    EXPECT_FALSE(directionShowsDegreeSign(DIRECTION_POINTS, L"SW"));
    EXPECT_FALSE(directionShowsDegreeSign(2, L"225"));
}

} // namespace
