// The Linux program's live output: the JSON line for programs and the
// readable line for people. Both must carry the dashboard's digits, and the
// JSON must stay valid JSON whatever a record holds.
#include "dashboard/live_json.h"
#include "dashboard/live_line.h"

#include <string>

#include <gtest/gtest.h>

#include "readings/json_number.h"
#include "readings/record_time.h"
#include "tests/support/full_observation.h"

namespace {

StationFields parsed(const std::string& line)
{
    StationFields fields{};
    parseStationRecord(line.c_str(), line.size() + 1, fields);
    return fields;
}

std::string json(const std::string& line, const UnitSettings& units = DEFAULT_UNIT_SETTINGS)
{
    return observationJsonLine(parsed(line), units);
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

constexpr UnitSettings IMPERIAL = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG,
                                   WIND_MPH,               PRESSURE_ABSOLUTE, DIRECTION_DEGREES};

// ---- JSON ------------------------------------------------------------------

TEST(LiveJson, ClassComesFirstThenTimeThenValuesThenUnits)
{
    const std::string line = json(joined(fullObservation()));
    EXPECT_EQ(line.rfind("{\"class\":\"OBS\",\"time\":\"2026-03-07T09:15:00\",\"loggerPercent\":45,", 0), 0u) << line;
    EXPECT_TRUE(contains(line, "\"outdoorTemp\":-3.5,"));
    EXPECT_TRUE(contains(line, "\"windDirPoint\":\"E\","));
    EXPECT_TRUE(contains(line, "\"relPressure\":1013.2,\"absPressure\":1009.8,"));
    EXPECT_EQ(line.substr(line.size() - 2), "}}");
    EXPECT_TRUE(contains(line, ",\"units\":{\"temperature\":\"\u00B0C\",\"rain\":\"mm\",\"pressure\":\"hPa\","
                               "\"wind\":\"km/h\",\"pressureType\":\"Rel\",\"direction\":\"16\"}}"));
    EXPECT_FALSE(contains(line, "recordDate"));
    EXPECT_EQ(versionJsonLine("1.01"), "{\"class\":\"VERSION\",\"program\":\"aerovane\",\"release\":\"1.01\"}");
}

// Readings whose converted digits are known: Fahrenheit rounds down.
std::vector<std::string> knownConversions()
{
    std::vector<std::string> fields = fullObservation();
    fields[3] = "22.2";   // indoorTemp: 71.9 °F
    fields[5] = "-20.1";  // outdoorTemp: -4.2 °F
    fields[7] = "25.4";   // dailyRain: 1.00 in
    fields[9] = "36";     // windSpeed: 22.4 mph
    fields[14] = "1013.2"; // absPressure: 29.92 inHg
    return fields;
}

TEST(LiveJson, ValuesAreConvertedWithTheDashboardsDigits)
{
    const std::string line = json(joined(knownConversions()), IMPERIAL);
    EXPECT_TRUE(contains(line, "\"indoorTemp\":71.9,")) << line;
    EXPECT_TRUE(contains(line, "\"outdoorTemp\":-4.2,"));
    EXPECT_TRUE(contains(line, "\"windSpeed\":22.4,"));
    EXPECT_TRUE(contains(line, "\"absPressure\":29.92,"));
    EXPECT_TRUE(contains(line, "\"dailyRain\":1.00,"));
    EXPECT_TRUE(contains(line, "\"units\":{\"temperature\":\"\u00B0F\",\"rain\":\"in\",\"pressure\":\"inHg\","
                               "\"wind\":\"mph\",\"pressureType\":\"Abs\",\"direction\":\"360\u00B0\"}"));
}

TEST(LiveJson, InvalidAndAbsentReadingsAreLeftOutNeverNullOrDashes)
{
    std::vector<std::string> fields = fullObservation();
    fields[5] = "--.-"; // outdoorTemp
    fields[9] = "--";   // windSpeed
    fields[7] = "-.-";  // dailyRain
    fields[12] = "e";   // not one of the sixteen points
    const std::string line = json(joined(fields, 20)); // channels 2.. and the rain sums absent
    EXPECT_FALSE(contains(line, "outdoorTemp"));
    EXPECT_FALSE(contains(line, "\"windSpeed\""));
    EXPECT_FALSE(contains(line, "dailyRain"));
    EXPECT_FALSE(contains(line, "windDirPoint"));
    EXPECT_FALSE(contains(line, "ch2Temp"));
    EXPECT_FALSE(contains(line, "monthlyRain"));
    EXPECT_FALSE(contains(line, "null"));
    EXPECT_FALSE(contains(line, ":-"));
    EXPECT_TRUE(contains(line, "\"ch1Temp\":11.9,\"ch1Humidity\":66,"));
}

TEST(LiveJson, TextsThatAreNoJsonNumberAreNormalisedOrLeftOut)
{
    std::vector<std::string> fields = fullObservation();
    fields[3] = "021.40"; // leading zero
    fields[4] = "+45";
    fields[6] = "\"81\"";  // a quote must never reach the output
    fields[13] = "1e400";
    fields[15] = ".5";
    const std::string line = json(joined(fields));
    EXPECT_TRUE(contains(line, "\"indoorTemp\":21.40,")) << line;
    EXPECT_TRUE(contains(line, "\"indoorHumidity\":45,"));
    EXPECT_TRUE(contains(line, "\"uvIndex\":0.5,"));
    EXPECT_FALSE(contains(line, "outdoorHumidity"));
    EXPECT_FALSE(contains(line, "relPressure"));
}

TEST(LiveJson, DamagedDateOrTimeLeavesTimeOut)
{
    std::vector<std::string> fields = fullObservation();
    fields[1] = "2026-13-07";
    EXPECT_FALSE(contains(json(joined(fields)), "\"time\""));
    fields[1] = "26-3-7";
    EXPECT_TRUE(contains(json(joined(fields)), "\"time\":\"2026-03-07T09:15:00\""));
    fields[2] = "9:15:00";
    EXPECT_FALSE(contains(json(joined(fields)), "\"time\""));
}

TEST(JsonNumber, AcceptsDecimalsOnlyInJsonForm)
{
    const struct {
        const wchar_t* text;
        const char* expected; // null: refused
    } cases[] = {
        {L"12", "12"}, {L"-3.5", "-3.5"}, {L"0.0", "0.0"}, {L"007", "7"}, {L"-0", "-0"}, {L"5.", "5"},
        {L"", nullptr}, {L"-", nullptr}, {L".", nullptr}, {L"1.2.3", nullptr}, {L"1e5", nullptr},
        {L" 1", nullptr}, {L"inf", nullptr}, {L"--", nullptr},
    };
    for (const auto& c : cases) {
        std::string out;
        const bool taken = appendJsonNumber(out, c.text);
        EXPECT_EQ(taken, c.expected != nullptr) << static_cast<int>(c.text[0]);
        if (c.expected)
            EXPECT_EQ(out, c.expected);
        else
            EXPECT_EQ(out, "");
    }
}

TEST(RecordTime, RefusesWhatIsNoDateOrTime)
{
    char out[ISO_TIME_SIZE];
    EXPECT_EQ(isoRecordTime(L"2018-2-28", L"23:30", out), 1);
    EXPECT_STREQ(out, "2018-02-28T23:30");
    for (const wchar_t* date : {L"", L"2018-2", L"2018-0-1", L"2018-1-32", L"2018-1-1x", L"12345-1-1", L"-2018-1-1"}) {
        EXPECT_EQ(isoRecordTime(date, L"10:00", out), 0);
        EXPECT_STREQ(out, "");
    }
    for (const wchar_t* time : {L"24:00", L"10:60", L"10", L"10:0a", L""})
        EXPECT_EQ(isoRecordTime(L"2018-1-1", time, out), 0);
}

// A zone's rules in miniature: an offset per local time, none in a gap.
int fixedOffset(std::int64_t localMinutes, int& offset)
{
    std::int64_t at = 0;
    isoTimeMinutes("2026-03-29T02:00", at);
    if (localMinutes >= at && localMinutes < at + 60)
        return 0;
    offset = localMinutes < at ? 60 : 120;
    return 1;
}

int farOffset(std::int64_t, int& offset)
{
    offset = 24 * 60;
    return 1;
}

int westOffset(std::int64_t, int& offset)
{
    offset = -(9 * 60 + 30);
    return 1;
}

TEST(RecordTime, ZonedTimeCarriesSecondsAndTheOffsetOfThatLocalTime)
{
    char out[ISO_ZONED_TIME_SIZE];
    const struct {
        const char* iso;
        UtcOffsetOf offsetOf;
        const char* expected;
    } cases[] = {
        {"2026-03-29T01:59", fixedOffset, "2026-03-29T01:59:00+01:00"},
        {"2026-03-29T03:00", fixedOffset, "2026-03-29T03:00:00+02:00"},
        {"2026-03-29T02:30", fixedOffset, "2026-03-29T02:30:00"}, // no such local time: no offset
        {"2026-12-07T17:09", westOffset, "2026-12-07T17:09:00-09:30"},
        {"2026-12-07T17:09", farOffset, "2026-12-07T17:09:00"},
        {"2026-12-07T17:09", nullptr, "2026-12-07T17:09:00"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(isoZonedTime(c.iso, c.offsetOf, out), 1);
        EXPECT_STREQ(out, c.expected);
    }
    EXPECT_EQ(isoZonedTime("2026-12-07T17:9", fixedOffset, out), 0);
    EXPECT_STREQ(out, "");
    std::vector<std::string> fields = fullObservation();
    fields[1] = "2026-3-29";
    fields[2] = "03:10";
    EXPECT_TRUE(contains(observationJsonLine(parsed(joined(fields)), DEFAULT_UNIT_SETTINGS, fixedOffset),
                         "\"time\":\"2026-03-29T03:10:00+02:00\""));
}

// ---- The readable line -----------------------------------------------------

TEST(LiveLine, ShowsEachValueWithTheDashboardsTextAndUnit)
{
    const std::string line = observationLine(parsed(joined(fullObservation())), DEFAULT_UNIT_SETTINGS);
    EXPECT_EQ(line.rfind("2026-03-07 09:15  indoor 21.4\u00B0C 45%  outdoor -3.5\u00B0C 81%", 0), 0u) << line;
    EXPECT_TRUE(contains(line, "  wind 12 km/h  gust 15.2 km/h  direction E  daily rain 1.2 mm  rain rate 0.3 mm/h"));
    EXPECT_TRUE(contains(line, "  relative pressure 1013.2 hPa  UV index 5"));
    EXPECT_TRUE(contains(line, "  CH1 11.9\u00B0C 66%  CH2 12.5\u00B0C 52%  CH4 4.4\u00B0C 90%"));
    EXPECT_FALSE(contains(line, "CH3")); // both its readings are dashes
    EXPECT_EQ(line.substr(line.size() - 12), "  logger 45%");
}

TEST(LiveLine, ConvertsAndShowsPlaceholdersAsTheDashboardDoes)
{
    std::vector<std::string> fields = knownConversions();
    fields[5] = "";    // outdoorTemp absent: the dashboard shows "--.-"
    fields[8] = "";    // rainRate absent: "-.-"
    fields[13] = "";   // relPressure absent: the area is left blank
    const std::string line = observationLine(parsed(joined(fields)), IMPERIAL);
    EXPECT_TRUE(contains(line, "  indoor 71.9\u00B0F 45%  outdoor --.-\u00B0F 81%")) << line;
    EXPECT_TRUE(contains(line, "  wind 22.4 mph"));
    EXPECT_TRUE(contains(line, "  direction 90\u00B0"));
    EXPECT_TRUE(contains(line, "  daily rain 1.00 in  rain rate -.- in/h"));
    EXPECT_TRUE(contains(line, "  absolute pressure 29.92 inHg"));
    UnitSettings relative = IMPERIAL;
    relative.pressureType = PRESSURE_RELATIVE;
    EXPECT_FALSE(contains(observationLine(parsed(joined(fields)), relative), "pressure"));
}

} // namespace
