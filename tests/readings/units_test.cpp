#include "readings/units.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::wstring shown(Quantity quantity, std::uint8_t code, const wchar_t* text)
{
    wchar_t out[VALUE_TEXT_SIZE];
    const std::size_t length = convertFieldText(quantity, code, text, out, VALUE_TEXT_SIZE);
    EXPECT_EQ(length, std::wstring(out).size());
    return out;
}

TEST(TemperatureConversion, FahrenheitRoundsDownToATenth)
{
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"22.2"), L"71.9");
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"21.3"), L"70.3");
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"-20.1"), L"-4.2");
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"0"), L"32.0");
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"100"), L"212.0");
}

TEST(TemperatureConversion, ConvertsOneDashButPassesPlaceholders)
{
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"-3.5"), L"25.7");
    for (std::uint8_t code : {0, 1, 2, 255}) {
        EXPECT_EQ(shown(Quantity::temperature, code, L"--.-"), L"--.-");
        EXPECT_EQ(shown(Quantity::temperature, code, L"--"), L"--");
    }
}

TEST(TemperatureConversion, CelsiusKeepsTheTextAsSent)
{
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_CELSIUS, L"21.30"), L"21.30");
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_CELSIUS, L"-3.5"), L"-3.5");
}

TEST(PressureConversion, ToInchesAndMillimetresOfMercury)
{
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_INHG, L"1013.2"), L"29.92");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_MMHG, L"1013.2"), L"760.0");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_INHG, L"1000"), L"29.53");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_MMHG, L"1000"), L"750.0");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_HPA, L"1013.2"), L"1013.2");
}

TEST(PressureConversion, LettersReadAsZeroAndDashesPass)
{
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_INHG, L"abc"), L"0.00");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_MMHG, L"abc"), L"0.0");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_INHG, L"--"), L"--");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_MMHG, L"1013.2-"), L"1013.2-");
}

TEST(WindConversion, ToEachUnitFromKilometresPerHour)
{
    EXPECT_EQ(shown(Quantity::wind, WIND_MPH, L"36"), L"22.4");
    EXPECT_EQ(shown(Quantity::wind, WIND_METRES_PER_SECOND, L"36"), L"10.0");
    EXPECT_EQ(shown(Quantity::wind, WIND_KNOTS, L"36"), L"19.4");
    EXPECT_EQ(shown(Quantity::wind, WIND_KMH, L"36"), L"36");
    for (std::uint8_t code : {0, 1, 2, 3})
        EXPECT_EQ(shown(Quantity::wind, code, L"--"), L"--");
}

TEST(RainConversion, ToInchesWithTwoDecimals)
{
    EXPECT_EQ(shown(Quantity::rain, RAIN_INCHES, L"25.4"), L"1.00");
    EXPECT_EQ(shown(Quantity::rain, RAIN_INCHES, L"0.3"), L"0.01");
    EXPECT_EQ(shown(Quantity::rainRate, RAIN_INCHES, L"25.4"), L"1.00");
    EXPECT_EQ(shown(Quantity::rain, RAIN_MM, L"0.30"), L"0.30");
    for (std::uint8_t code : {0, 1}) {
        EXPECT_EQ(shown(Quantity::rain, code, L"-.-"), L"-.-");
        EXPECT_EQ(shown(Quantity::rainRate, code, L"-.-"), L"-.-");
    }
}

TEST(Conversion, ReadsTheValueInSinglePrecision)
{
    // These land on the other side of a rounding step when read as double.
    EXPECT_EQ(shown(Quantity::wind, WIND_MPH, L"2177.1"), L"1352.9");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_MMHG, L"1519.3"), L"1139.6");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_INHG, L"4476.2"), L"132.17");
}

TEST(Conversion, ReadsLikeStrtod)
{
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L" 21.3"), L"70.3");
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"21.3abc"), L"70.3");
    EXPECT_EQ(shown(Quantity::wind, WIND_MPH, L"3.6e1"), L"22.4");
}

TEST(Conversion, EmptyTextStaysEmptyInEveryUnit)
{
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L""), L"");
    EXPECT_EQ(shown(Quantity::pressure, PRESSURE_INHG, L""), L"");
    EXPECT_EQ(shown(Quantity::wind, WIND_MPH, L""), L"");
    EXPECT_EQ(shown(Quantity::rain, RAIN_INCHES, nullptr), L"");
}

TEST(Conversion, QuantitiesWithoutUnitsPassWhateverTheCode)
{
    for (std::uint8_t code : {0, 1, 2, 3}) {
        EXPECT_EQ(shown(Quantity::percent, code, L"45"), L"45");
        EXPECT_EQ(shown(Quantity::uvIndex, code, L"3"), L"3");
        EXPECT_EQ(shown(Quantity::degrees, code, L"225"), L"225");
        EXPECT_EQ(shown(Quantity::text, code, L"2024-03-17"), L"2024-03-17");
    }
}

TEST(Conversion, AnUnknownCodeNamesTheOtherUnitButKeepsTheValue)
{
    EXPECT_EQ(shown(Quantity::temperature, 2, L"21.3"), L"21.3");
    EXPECT_STREQ(unitText(Quantity::temperature, 2), L"\u00B0F");
    EXPECT_EQ(shown(Quantity::pressure, 3, L"1013.2"), L"1013.2");
    EXPECT_STREQ(unitText(Quantity::pressure, 3), L"inHg");
    EXPECT_EQ(shown(Quantity::wind, 4, L"36"), L"36");
    EXPECT_STREQ(unitText(Quantity::wind, 4), L"knots");
    EXPECT_EQ(shown(Quantity::rain, 2, L"25.4"), L"25.4");
    EXPECT_STREQ(unitText(Quantity::rain, 2), L"mm");
}

TEST(Conversion, StaysWithinTheOutputRoom)
{
    wchar_t out[5];
    EXPECT_EQ(convertFieldText(Quantity::percent, 0, L"123456", out, 5), 4u);
    EXPECT_STREQ(out, L"1234");
    // A converted value is never cut into a wrong number.
    EXPECT_EQ(convertFieldText(Quantity::pressure, PRESSURE_INHG, L"1013.2", out, 5), 0u);
    EXPECT_STREQ(out, L"");
    // The largest float converts and fits the usual room.
    EXPECT_EQ(shown(Quantity::temperature, TEMPERATURE_FAHRENHEIT, L"3.4e38").size(), 41u);
}

TEST(Conversion, MayWriteOverItsOwnText)
{
    wchar_t text[VALUE_TEXT_SIZE] = L"1013.2";
    convertFieldText(Quantity::pressure, PRESSURE_INHG, text, text, VALUE_TEXT_SIZE);
    EXPECT_STREQ(text, L"29.92");
}

TEST(UnitText, NamesEachUnitByCode)
{
    EXPECT_STREQ(unitText(Quantity::temperature, 0), L"\u00B0C");
    EXPECT_STREQ(unitText(Quantity::temperature, 1), L"\u00B0F");
    EXPECT_STREQ(unitText(Quantity::pressure, 0), L"hPa");
    EXPECT_STREQ(unitText(Quantity::pressure, 1), L"mmHg");
    EXPECT_STREQ(unitText(Quantity::pressure, 2), L"inHg");
    EXPECT_STREQ(unitText(Quantity::wind, 0), L"mph");
    EXPECT_STREQ(unitText(Quantity::wind, 1), L"m/s");
    EXPECT_STREQ(unitText(Quantity::wind, 2), L"km/h");
    EXPECT_STREQ(unitText(Quantity::wind, 3), L"knots");
    EXPECT_STREQ(unitText(Quantity::rain, 0), L"mm");
    EXPECT_STREQ(unitText(Quantity::rain, 1), L"in");
    EXPECT_STREQ(unitText(Quantity::rainRate, 0), L"mm/h");
    EXPECT_STREQ(unitText(Quantity::rainRate, 1), L"in/h");
    EXPECT_STREQ(unitText(Quantity::percent, 0), L"%");
    EXPECT_STREQ(unitText(Quantity::degrees, 0), L"\u00B0");
    EXPECT_STREQ(unitText(Quantity::uvIndex, 0), L"");
}

TEST(UnitSettings, EachQuantityFollowsItsOwnCode)
{
    const UnitSettings settings = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(unitCodeFor(Quantity::temperature, settings), 1);
    EXPECT_EQ(unitCodeFor(Quantity::rain, settings), 2);
    EXPECT_EQ(unitCodeFor(Quantity::rainRate, settings), 2);
    EXPECT_EQ(unitCodeFor(Quantity::pressure, settings), 3);
    EXPECT_EQ(unitCodeFor(Quantity::wind, settings), 4);
    EXPECT_EQ(unitCodeFor(Quantity::percent, settings), 0);
}

TEST(UnitSettings, StartWithTheDefaultsAndKeepWhatIsSet)
{
    const UnitSettings start = currentUnitSettings();
    EXPECT_EQ(start.temperatureUnit, 0);
    EXPECT_EQ(start.rainUnit, 0);
    EXPECT_EQ(start.pressureUnit, 0);
    EXPECT_EQ(start.windUnit, 2);
    EXPECT_EQ(start.pressureType, 1);
    EXPECT_EQ(start.directionUnit, 0);

    setCurrentUnitSettings({1, 1, 2, 3, 0, 1});
    const UnitSettings changed = currentUnitSettings();
    EXPECT_EQ(changed.temperatureUnit, 1);
    EXPECT_EQ(changed.rainUnit, 1);
    EXPECT_EQ(changed.pressureUnit, 2);
    EXPECT_EQ(changed.windUnit, 3);
    EXPECT_EQ(changed.pressureType, 0);
    EXPECT_EQ(changed.directionUnit, 1);
    setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
}

TEST(PressureChoice, RelativeOnlyForTypeOne)
{
    EXPECT_EQ(pressureField(1), StationFields::relPressure);
    EXPECT_EQ(pressureField(0), StationFields::absPressure);
    EXPECT_EQ(pressureField(2), StationFields::absPressure);
}

} // namespace
