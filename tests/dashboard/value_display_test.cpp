#include "dashboard/value_display.h"

#include <cwchar>
#include <string>

#include <gtest/gtest.h>

#include "resources/resource_ids.h"

namespace {

const ValueArea& areaOf(int control)
{
    for (const ValueArea& area : VALUE_PAINT_ORDER)
        if (area.control == control)
            return area;
    ADD_FAILURE() << "no value area " << control;
    return VALUE_PAINT_ORDER[0];
}

struct Shown {
    ValueDisplay display;
    std::wstring text() const { return display.text; }
    std::wstring unit() const { return display.unit; }
};

class ValueDisplayTest : public testing::Test {
protected:
    StationFields fields{};
    UnitSettings units = DEFAULT_UNIT_SETTINGS;
    int channel = 1;

    void set(int field, const wchar_t* text) { std::wcscpy(fields.text[field], text); }
    std::wstring field(int index) const { return fields.text[index]; }

    Shown show(int control)
    {
        Shown shown;
        std::wmemset(shown.display.text, L'#', DISPLAY_TEXT_LIMIT + 1);
        prepareValueDisplay(areaOf(control), fields, units, channel, shown.display);
        return shown;
    }
};

TEST_F(ValueDisplayTest, EmptyFieldsOfTheObservationGetTheirPlaceholderWrittenIn)
{
    // All fields empty, as after a record with too few values.
    struct Case {
        int control;
        int field;
        const wchar_t* placeholder;
        const wchar_t* unit;
    } cases[] = {
        {IDC_VALUE_INDOOR_TEMP, StationFields::indoorTemp, L"--.-", L"\u00B0C"},
        {IDC_VALUE_OUTDOOR_TEMP, StationFields::outdoorTemp, L"--.-", L"\u00B0C"},
        {IDC_VALUE_DEW_POINT, StationFields::dewPoint, L"--.-", L"\u00B0C"},
        {IDC_VALUE_HEAT_INDEX, StationFields::heatIndex, L"--.-", L"\u00B0C"},
        {IDC_VALUE_INDOOR_HUMIDITY, StationFields::indoorHumidity, L"--", L"%"},
        {IDC_VALUE_OUTDOOR_HUMIDITY, StationFields::outdoorHumidity, L"--", L"%"},
        {IDC_VALUE_DAILY_RAIN, StationFields::dailyRain, L"-.-", L"mm"},
        {IDC_VALUE_RAIN_RATE, StationFields::rainRate, L"-.-", L"mm/h"},
    };
    for (const Case& c : cases) {
        const Shown shown = show(c.control);
        EXPECT_TRUE(shown.display.drawn) << c.control;
        EXPECT_EQ(shown.text(), c.placeholder) << c.control;
        EXPECT_EQ(shown.unit(), c.unit) << c.control;
        EXPECT_EQ(field(c.field), c.placeholder) << "stays in the table: " << c.control;
    }
}

TEST_F(ValueDisplayTest, EmptyPressureWindAndUvDrawNothingAndLeaveTheFieldEmpty)
{
    for (int control : {IDC_VALUE_PRESSURE, IDC_VALUE_WIND_SPEED, IDC_VALUE_WIND_GUST, IDC_VALUE_UV_INDEX})
        EXPECT_FALSE(show(control).display.drawn) << control;
    for (int f : {StationFields::relPressure, StationFields::absPressure, StationFields::windSpeed,
                  StationFields::windGust, StationFields::uvIndex})
        EXPECT_EQ(field(f), L"") << f;
}

TEST_F(ValueDisplayTest, AnEmptyChannelShowsDashesButKeepsItsFieldsEmpty)
{
    channel = 4;
    set(StationFields::ch1Temp, L"12.5");
    set(StationFields::ch1Humidity, L"40");
    const Shown temperature = show(IDC_VALUE_CHANNEL_TEMP);
    const Shown humidity = show(IDC_VALUE_CHANNEL_HUMIDITY);
    EXPECT_EQ(temperature.text(), L"--.-");
    EXPECT_EQ(temperature.unit(), L"\u00B0C");
    EXPECT_EQ(humidity.text(), L"--");
    EXPECT_EQ(humidity.unit(), L"%");
    EXPECT_EQ(field(StationFields::ch4Temp), L"");
    EXPECT_EQ(field(StationFields::ch4Humidity), L"");
}

TEST_F(ValueDisplayTest, TheSelectedChannelPicksItsFieldPair)
{
    for (int ch = 1; ch <= 7; ++ch) {
        set(StationFields::ch1Temp + 2 * (ch - 1), std::to_wstring(ch * 10).c_str());
        set(StationFields::ch1Humidity + 2 * (ch - 1), std::to_wstring(ch + 50).c_str());
    }
    for (channel = 1; channel <= 7; ++channel) {
        EXPECT_EQ(show(IDC_VALUE_CHANNEL_TEMP).text(), std::to_wstring(channel * 10));
        EXPECT_EQ(show(IDC_VALUE_CHANNEL_HUMIDITY).text(), std::to_wstring(channel + 50));
    }
    channel = 9; // never reaches past the channel fields
    EXPECT_EQ(show(IDC_VALUE_CHANNEL_TEMP).text(), L"70");
    EXPECT_EQ(show(IDC_VALUE_CHANNEL_HUMIDITY).text(), L"57");
}

TEST_F(ValueDisplayTest, ValuesAreConvertedIntoTheChosenUnitsAndDashesPassUnchanged)
{
    units.temperatureUnit = TEMPERATURE_FAHRENHEIT;
    units.pressureUnit = PRESSURE_INHG;
    units.windUnit = WIND_KNOTS;
    units.rainUnit = RAIN_INCHES;
    set(StationFields::indoorTemp, L"22.2");
    set(StationFields::outdoorTemp, L"-3.5");
    set(StationFields::dewPoint, L"--.-");
    set(StationFields::relPressure, L"1013.2");
    set(StationFields::windSpeed, L"36");
    set(StationFields::windGust, L"--");
    set(StationFields::dailyRain, L"25.4");
    set(StationFields::rainRate, L"-.-");
    set(StationFields::indoorHumidity, L"45");

    EXPECT_EQ(show(IDC_VALUE_INDOOR_TEMP).text(), L"71.9");
    EXPECT_EQ(show(IDC_VALUE_INDOOR_TEMP).unit(), L"\u00B0F");
    EXPECT_EQ(show(IDC_VALUE_OUTDOOR_TEMP).text(), L"25.7");
    EXPECT_EQ(show(IDC_VALUE_DEW_POINT).text(), L"--.-");
    EXPECT_EQ(show(IDC_VALUE_PRESSURE).text(), L"29.92");
    EXPECT_EQ(show(IDC_VALUE_PRESSURE).unit(), L"inHg");
    EXPECT_EQ(show(IDC_VALUE_WIND_SPEED).text(), L"19.4");
    EXPECT_EQ(show(IDC_VALUE_WIND_SPEED).unit(), L"knots");
    EXPECT_EQ(show(IDC_VALUE_WIND_GUST).text(), L"--");
    EXPECT_EQ(show(IDC_VALUE_DAILY_RAIN).text(), L"1.00");
    EXPECT_EQ(show(IDC_VALUE_DAILY_RAIN).unit(), L"in");
    EXPECT_EQ(show(IDC_VALUE_RAIN_RATE).text(), L"-.-");
    EXPECT_EQ(show(IDC_VALUE_RAIN_RATE).unit(), L"in/h");
    EXPECT_EQ(show(IDC_VALUE_INDOOR_HUMIDITY).text(), L"45");
    // The table keeps the console's own texts.
    EXPECT_EQ(field(StationFields::indoorTemp), L"22.2");
    EXPECT_EQ(field(StationFields::relPressure), L"1013.2");
}

TEST_F(ValueDisplayTest, UvIndexIsCentredWithoutUnit)
{
    set(StationFields::uvIndex, L"7");
    const Shown shown = show(IDC_VALUE_UV_INDEX);
    EXPECT_TRUE(shown.display.drawn);
    EXPECT_TRUE(shown.display.centred);
    EXPECT_EQ(shown.text(), L"7");
    EXPECT_EQ(shown.unit(), L"");
    EXPECT_EQ(shown.display.blankCount, 13);
}

TEST_F(ValueDisplayTest, LongTextsAreCutToThirtyOneCharacters)
{
    const std::wstring longText(63, L'7');
    set(StationFields::indoorHumidity, longText.c_str());
    set(StationFields::windDirPoint, longText.c_str());
    EXPECT_EQ(show(IDC_VALUE_INDOOR_HUMIDITY).text(), longText.substr(0, 31));
    EXPECT_EQ(show(IDC_VALUE_WIND_DIRECTION).text(), longText.substr(0, 31));
}

TEST_F(ValueDisplayTest, DirectionInDegreesPointsTheCompassAndCarriesTheDegreeSign)
{
    units.directionUnit = DIRECTION_DEGREES;
    set(StationFields::windDirDegrees, L"225");
    set(StationFields::windDirPoint, L"N");
    Shown shown = show(IDC_VALUE_WIND_DIRECTION);
    EXPECT_TRUE(shown.display.centred);
    EXPECT_EQ(shown.text(), L"225");
    EXPECT_EQ(shown.display.compassImage, 11);
    EXPECT_EQ(shown.unit(), L"\u00B0");

    set(StationFields::windDirDegrees, L"");
    shown = show(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(shown.text(), L"--");
    EXPECT_EQ(shown.display.compassImage, 0);
    EXPECT_EQ(shown.unit(), L"") << "never a degree sign after dashes";
    EXPECT_EQ(field(StationFields::windDirDegrees), L"") << "the direction writes nothing back";

    // The console's invalid bearing is no bearing of 0: no pointer at north.
    set(StationFields::windDirDegrees, L"--");
    shown = show(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(shown.text(), L"--");
    EXPECT_EQ(shown.display.compassImage, 0);
    EXPECT_EQ(shown.unit(), L"");
}

TEST_F(ValueDisplayTest, DirectionInPointsShowsTheNameWithoutDegreeSign)
{
    set(StationFields::windDirDegrees, L"90");
    set(StationFields::windDirPoint, L"NNW");
    Shown shown = show(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(shown.text(), L"NNW");
    EXPECT_EQ(shown.display.compassImage, 16);
    EXPECT_EQ(shown.unit(), L"");

    for (const wchar_t* other : {L"nnw", L"--", L""}) {
        set(StationFields::windDirPoint, other);
        shown = show(IDC_VALUE_WIND_DIRECTION);
        EXPECT_EQ(shown.display.compassImage, 0) << "dial alone for '" << other << "'";
        EXPECT_EQ(shown.unit(), L"");
    }
    EXPECT_EQ(shown.text(), L"--");
}

} // namespace
