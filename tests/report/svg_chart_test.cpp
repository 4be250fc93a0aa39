// The chart drawing: round axis ticks, lines that break at empty buckets
// instead of bridging them, "No data" for an empty chart, and text that
// cannot break out of the SVG.
#include "report/svg_chart.h"
#include "report/html_text.h"
#include "report/range_charts.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "readings/record_time.h"

namespace {

constexpr double NO_VALUE = std::numeric_limits<double>::quiet_NaN();

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

// The d attribute of the first path with this class.
std::string pathData(const std::string& svg, const std::string& cssClass)
{
    const std::string start = "<path class=\"" + cssClass + "\" d=\"";
    const std::size_t at = svg.find(start);
    if (at == std::string::npos)
        return "";
    const std::size_t from = at + start.size();
    return svg.substr(from, svg.find('"', from) - from);
}

ChartSpec lineChart(std::initializer_list<double> values)
{
    ChartSpec chart{};
    chart.caption = "Temperature";
    chart.title = "Temperature, last 24 hours";
    chart.unit = "\u00B0C";
    chart.xStart = 0;
    chart.xEnd = static_cast<double>(values.size());
    ChartSeries series{SeriesKind::line, "temp", "Temperature", {}};
    double x = 0.5;
    for (double value : values)
        series.points.push_back({x++, 0, value, 0});
    chart.series.push_back(series);
    return chart;
}

// ---- axis ---------------------------------------------------------------------

TEST(ReportAxis, TicksAreRoundAndCoverTheData)
{
    const ValueAxis pressure = valueAxis(1006.3, 1015.8);
    EXPECT_EQ(pressure.step, 2.0);
    EXPECT_EQ(pressure.low, 1006.0);
    EXPECT_EQ(pressure.high, 1016.0);
    EXPECT_EQ(pressure.decimals, 0);

    const ValueAxis inHg = valueAxis(29.71, 30.02);
    EXPECT_NEAR(inHg.step, 0.1, 1e-12);
    EXPECT_EQ(inHg.decimals, 1);
    EXPECT_LE(inHg.low, 29.71);
    EXPECT_GE(inHg.high, 30.02);

    const ValueAxis cold = valueAxis(-12.4, 3.1);
    EXPECT_EQ(cold.step, 5.0);
    EXPECT_EQ(cold.low, -15.0);
    EXPECT_EQ(cold.high, 5.0);
}

TEST(ReportAxis, FlatOrBrokenRangesStillGiveAnAxis)
{
    const ValueAxis flat = valueAxis(20, 20);
    EXPECT_LT(flat.low, 20);
    EXPECT_GT(flat.high, 20);
    const ValueAxis nothing = valueAxis(NO_VALUE, NO_VALUE);
    EXPECT_LT(nothing.low, nothing.high);
    EXPECT_GT(nothing.step, 0);
    const ValueAxis swapped = valueAxis(10, 0);
    EXPECT_EQ(swapped.low, 0);
    EXPECT_EQ(swapped.high, 10);
}

// ---- lines and gaps -----------------------------------------------------------

TEST(ReportChart, EmptyBucketsBreakTheLine)
{
    const std::string figure = chartFigure(lineChart({1, 2, 3, NO_VALUE, NO_VALUE, 4, 5}));
    const std::string d = pathData(figure, "line temp");
    ASSERT_FALSE(d.empty()) << figure;
    EXPECT_EQ(countOf(d, "M"), 2u) << d;
    EXPECT_EQ(countOf(d, "L"), 0u);
}

TEST(ReportChart, LoneBucketBetweenGapsIsADot)
{
    const std::string d = pathData(chartFigure(lineChart({1, NO_VALUE, 2, NO_VALUE, 3, 4})), "line temp");
    EXPECT_EQ(countOf(d, "M"), 3u) << d;
    EXPECT_EQ(countOf(d, "h0"), 2u) << d;
}

TEST(ReportChart, CoordinatesStayInsideTheViewAndHaveOneDecimal)
{
    const std::string d = pathData(chartFigure(lineChart({0.123456, 1e5, -1e5, 7})), "line temp");
    ASSERT_FALSE(d.empty());
    std::size_t at = 0;
    while (at < d.size()) {
        const std::size_t end = d.find_first_not_of("-0123456789.", at);
        const std::string number = d.substr(at, end - at);
        if (!number.empty()) {
            const std::size_t point = number.find('.');
            EXPECT_TRUE(point == std::string::npos || number.size() - point == 2) << number;
            const double value = std::stod(number);
            EXPECT_GE(value, 0);
            EXPECT_LE(value, 360);
        }
        at = end == std::string::npos ? d.size() : end + 1;
    }
}

TEST(ReportChart, NothingToDrawSaysNoData)
{
    const std::string figure = chartFigure(lineChart({NO_VALUE, NO_VALUE}));
    EXPECT_NE(figure.find("No data"), std::string::npos);
    EXPECT_EQ(figure.find("<svg"), std::string::npos);
    EXPECT_EQ(figure.find("<path"), std::string::npos);
}

TEST(ReportChart, EverySvgHasATitleAndAriaLabel)
{
    const std::string figure = chartFigure(lineChart({1, 2}));
    EXPECT_NE(figure.find("<svg viewBox=\"0 0 360 180\" role=\"img\" aria-label=\"Temperature, last 24 hours\">"
                          "<title>Temperature, last 24 hours</title>"),
              std::string::npos)
        << figure;
}

TEST(ReportChart, TextsAreEscaped)
{
    ChartSpec chart = lineChart({1, 2});
    chart.title = "a\"<b>&'";
    chart.caption = "<i>";
    chart.ticks.push_back({1, "<tick>"});
    chart.series[0].name = "</figure>";
    const std::string figure = chartFigure(chart);
    EXPECT_NE(figure.find("aria-label=\"a&quot;&lt;b&gt;&amp;&#39;\""), std::string::npos) << figure;
    EXPECT_NE(figure.find("&lt;tick&gt;"), std::string::npos);
    EXPECT_EQ(figure.find("<i>"), std::string::npos);
    EXPECT_EQ(countOf(figure, "</figure>"), 1u);
}

TEST(ReportChart, DryBarsStandOnAnAxisFromZero)
{
    ChartSpec chart{};
    chart.caption = chart.title = "Rain per hour";
    chart.xStart = 0;
    chart.xEnd = 120;
    chart.fromZero = true;
    chart.series.push_back({SeriesKind::bars, "rain", "", {{0, 60, 0.0, 0}, {60, 120, 0.0, 0}}});
    const std::string figure = chartFigure(chart);
    EXPECT_NE(figure.find(">0.0</text>"), std::string::npos) << figure;
    EXPECT_EQ(figure.find(">-"), std::string::npos) << figure;
    EXPECT_EQ(countOf(pathData(figure, "bars rain"), "M"), 2u);
}

TEST(ReportChart, DirectionDotsUseTheCompassAxis)
{
    ChartSpec chart = lineChart({3, 4});
    chart.series.push_back({SeriesKind::dots, "dir", "Direction", {{0.5, 0, 0, 0}, {1.5, 0, 360, 0}}});
    const std::string figure = chartFigure(chart);
    // North at the bottom and the top of the plot, whatever the speed axis.
    EXPECT_NE(pathData(figure, "dots dir").find("158h0"), std::string::npos) << figure;
    EXPECT_NE(pathData(figure, "dots dir").find(" 8h0"), std::string::npos) << figure;
    EXPECT_NE(figure.find(">W</text>"), std::string::npos);
}

// ---- texts and ticks ----------------------------------------------------------

TEST(ReportText, NumbersAndTimes)
{
    EXPECT_EQ(fixedText(-0.04, 1), "0.0");
    EXPECT_EQ(fixedText(1013.25, 1), "1013.3");
    std::string coordinates;
    appendCoordinate(coordinates, 12.0);
    coordinates += ' ';
    appendCoordinate(coordinates, -3.45);
    coordinates += ' ';
    appendCoordinate(coordinates, NO_VALUE);
    EXPECT_EQ(coordinates, "12 -3.5 0");
    const std::int64_t minute = minutesFromCivil({2026, 12, 7, 9, 5});
    EXPECT_EQ(dateTimeText(minute), "2026-12-07 09:05");
    EXPECT_EQ(weekdayDayText(minute), "Mon 7");
    EXPECT_EQ(monthDayText(minute), "Dec 7");
}

TEST(ReportText, TimeTicksOfEachRange)
{
    const std::int64_t end = minutesFromCivil({2026, 12, 7, 9, 5});
    const std::vector<TimeTick> day = timeTicks(ReportRange::day, end - 1439, end);
    ASSERT_EQ(day.size(), 6u);
    EXPECT_EQ(day.front().label, "12:00");
    EXPECT_EQ(day.back().label, "08:00");

    const std::vector<TimeTick> week = timeTicks(ReportRange::week, end - 7 * 1440 + 1, end);
    ASSERT_EQ(week.size(), 7u);
    EXPECT_EQ(week.front().label, "Tue 1");
    EXPECT_EQ(week.back().label, "Mon 7");

    const std::vector<TimeTick> year = timeTicks(ReportRange::year, end - 365 * 1440 + 1, end);
    ASSERT_EQ(year.size(), 12u);
    EXPECT_EQ(year[0].label, "2026");
    EXPECT_EQ(year[1].label, "");
    EXPECT_EQ(year[2].label, "Mar");
    for (const TimeTick& tick : year)
        EXPECT_EQ(civilFromMinutes(tick.minute).day, 1);
}

TEST(ReportText, ChartValuesUseTheProgramsConversions)
{
    const UnitSettings imperial = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG,
                                   WIND_KNOTS,             PRESSURE_ABSOLUTE, DIRECTION_DEGREES};
    EXPECT_DOUBLE_EQ(convertedValue(Quantity::temperature, imperial, 20.0), celsiusToFahrenheit(20.0f));
    EXPECT_DOUBLE_EQ(convertedValue(Quantity::pressure, imperial, 1013.2), hpaToInHg(1013.2f));
    EXPECT_DOUBLE_EQ(convertedValue(Quantity::wind, imperial, 36.0), kmhToKnots(36.0f));
    EXPECT_DOUBLE_EQ(convertedValue(Quantity::rain, imperial, 25.4), mmToInches(25.4f));
    EXPECT_DOUBLE_EQ(convertedValue(Quantity::percent, imperial, 55.0), 55.0);
    EXPECT_DOUBLE_EQ(convertedValue(Quantity::temperature, DEFAULT_UNIT_SETTINGS, 20.0), 20.0);
    EXPECT_TRUE(std::isnan(convertedValue(Quantity::wind, imperial, NO_VALUE)));
}

} // namespace
