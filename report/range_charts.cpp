#include "report/range_charts.h"

#include <cmath>
#include <limits>

#include "readings/record_time.h"
#include "readings/text_output.h"
#include "report/html_text.h"

namespace {

constexpr double NO_VALUE = std::numeric_limits<double>::quiet_NaN();

std::string unitName(Quantity quantity, const UnitSettings& units)
{
    std::string text;
    appendUtf8(text, unitText(quantity, unitCodeFor(quantity, units)));
    return text;
}

double middleOf(const TimeGrid& grid, int bucket)
{
    return static_cast<double>(bucketStart(grid, bucket)) + static_cast<double>(grid.width) / 2.0;
}

// Mean of each bucket (and min-max in y, y2 for the band).
ChartSeries meanSeries(const RangeBuckets& buckets, Charted charted, Quantity quantity, const UnitSettings& units,
                       const char* style, const std::string& name)
{
    ChartSeries series{SeriesKind::line, style, name, {}};
    series.points.reserve(static_cast<std::size_t>(buckets.lines.count));
    for (int b = 0; b < buckets.lines.count; ++b) {
        const BucketStats& stats = bucketStats(buckets, b, charted);
        const double mean = stats.count > 0 ? convertedValue(quantity, units, stats.sum / stats.count) : NO_VALUE;
        series.points.push_back({middleOf(buckets.lines, b), 0, mean, 0});
    }
    return series;
}

ChartSeries bandSeries(const RangeBuckets& buckets, Charted charted, Quantity quantity, const UnitSettings& units,
                       const char* style)
{
    ChartSeries series{SeriesKind::band, style, "", {}};
    series.points.reserve(static_cast<std::size_t>(buckets.lines.count));
    for (int b = 0; b < buckets.lines.count; ++b) {
        const BucketStats& stats = bucketStats(buckets, b, charted);
        SeriesPoint point{middleOf(buckets.lines, b), 0, NO_VALUE, NO_VALUE};
        if (stats.count > 0) {
            point.y = convertedValue(quantity, units, stats.min);
            point.y2 = convertedValue(quantity, units, stats.max);
        }
        series.points.push_back(point);
    }
    return series;
}

ChartSpec baseChart(const RangeBuckets& buckets, const std::string& title, const std::string& unit)
{
    ChartSpec chart;
    std::string range = RANGE_LAYOUTS[static_cast<int>(buckets.range)].title;
    range[0] = static_cast<char>(range[0] - 'A' + 'a');
    chart.caption = title;
    chart.title = title + ", " + range;
    chart.unit = unit;
    // The chart spans the range exactly: first..last inclusive.
    chart.xStart = static_cast<double>(buckets.first);
    chart.xEnd = static_cast<double>(buckets.last + 1);
    chart.ticks = timeTicks(buckets.range, buckets.first, buckets.last);
    chart.fromZero = false;
    chart.percentAxis = false;
    return chart;
}

bool drawsBand(const RangeBuckets& buckets)
{
    return RANGE_LAYOUTS[static_cast<int>(buckets.range)].band;
}

ChartSpec temperatureChart(const RangeBuckets& buckets, const UnitSettings& units)
{
    ChartSpec chart = baseChart(buckets, "Temperature and dew point", unitName(Quantity::temperature, units));
    if (drawsBand(buckets))
        chart.series.push_back(bandSeries(buckets, Charted::outdoorTemp, Quantity::temperature, units, "temp"));
    chart.series.push_back(
        meanSeries(buckets, Charted::outdoorTemp, Quantity::temperature, units, "temp", "Temperature"));
    chart.series.push_back(meanSeries(buckets, Charted::dewPoint, Quantity::temperature, units, "dew", "Dew point"));
    return chart;
}

ChartSpec humidityChart(const RangeBuckets& buckets, const UnitSettings& units)
{
    ChartSpec chart = baseChart(buckets, "Humidity", "%");
    chart.percentAxis = true;
    if (drawsBand(buckets))
        chart.series.push_back(bandSeries(buckets, Charted::humidity, Quantity::percent, units, "hum"));
    chart.series.push_back(meanSeries(buckets, Charted::humidity, Quantity::percent, units, "hum", "Outdoor humidity"));
    return chart;
}

ChartSpec pressureChart(const RangeBuckets& buckets, const UnitSettings& units)
{
    const bool relative = pressureField(units.pressureType) == StationFields::relPressure;
    const Charted charted = relative ? Charted::relPressure : Charted::absPressure;
    ChartSpec chart = baseChart(buckets, relative ? "Relative pressure" : "Absolute pressure",
                                unitName(Quantity::pressure, units));
    if (drawsBand(buckets))
        chart.series.push_back(bandSeries(buckets, charted, Quantity::pressure, units, "pres"));
    chart.series.push_back(meanSeries(buckets, charted, Quantity::pressure, units, "pres", "Pressure"));
    return chart;
}

ChartSpec windChart(const RangeBuckets& buckets, const UnitSettings& units)
{
    ChartSpec chart = baseChart(buckets, "Wind", unitName(Quantity::wind, units));
    chart.fromZero = true;
    chart.series.push_back(meanSeries(buckets, Charted::windGust, Quantity::wind, units, "gust", "Gust"));
    chart.series.push_back(meanSeries(buckets, Charted::windSpeed, Quantity::wind, units, "wind", "Speed"));
    ChartSeries direction{SeriesKind::dots, "dir", "Direction (right axis)", {}};
    direction.points.reserve(static_cast<std::size_t>(buckets.lines.count));
    for (int b = 0; b < buckets.lines.count; ++b) {
        const double bearing = meanDirection(buckets.direction[static_cast<std::size_t>(b)]);
        direction.points.push_back({middleOf(buckets.lines, b), 0, bearing, 0});
    }
    chart.series.push_back(direction);
    return chart;
}

ChartSpec rainChart(const RangeBuckets& buckets, const UnitSettings& units)
{
    const char* title = "Rain per day";
    if (buckets.range == ReportRange::day)
        title = "Rain per hour";
    else if (buckets.range == ReportRange::year)
        title = "Rain per week";
    ChartSpec chart = baseChart(buckets, title, unitName(Quantity::rain, units));
    chart.fromZero = true;
    ChartSeries bars{SeriesKind::bars, "rain", "", {}};
    double total = 0;
    bool measured = false;
    for (int b = 0; b < buckets.bars.count; ++b) {
        const double start = static_cast<double>(bucketStart(buckets.bars, b));
        const std::size_t i = static_cast<std::size_t>(b);
        double amount = NO_VALUE;
        if (buckets.rainCount[i] > 0) {
            amount = convertedValue(Quantity::rain, units, buckets.rain[i]);
            total += buckets.rain[i];
            measured = true;
        }
        bars.points.push_back({start, start + static_cast<double>(buckets.bars.width), amount, 0});
    }
    // The total tells a dry spell (0.0) from one without readings.
    if (measured) {
        const int decimals = unitCodeFor(Quantity::rain, units) == RAIN_INCHES ? 2 : 1;
        bars.name = "Total " + fixedText(convertedValue(Quantity::rain, units, total), decimals) + " "
                    + unitName(Quantity::rain, units);
    }
    chart.series.push_back(bars);
    return chart;
}

std::int64_t dayOf(std::int64_t minute)
{
    std::int64_t day = minute / MINUTES_PER_DAY;
    if (minute % MINUTES_PER_DAY < 0)
        --day;
    return day;
}

} // namespace

double convertedValue(Quantity quantity, const UnitSettings& units, double value)
{
    if (std::isnan(value))
        return value;
    const std::uint8_t code = unitCodeFor(quantity, units);
    const float x = static_cast<float>(value);
    switch (quantity) {
    case Quantity::temperature:
        return code == TEMPERATURE_FAHRENHEIT ? celsiusToFahrenheit(x) : value;
    case Quantity::pressure:
        if (code == PRESSURE_INHG)
            return hpaToInHg(x);
        return code == PRESSURE_MMHG ? hpaToMmHg(x) : value;
    case Quantity::wind:
        if (code == WIND_MPH)
            return kmhToMph(x);
        if (code == WIND_METRES_PER_SECOND)
            return kmhToMetresPerSecond(x);
        return code == WIND_KNOTS ? kmhToKnots(x) : value;
    case Quantity::rain:
    case Quantity::rainRate:
        return code == RAIN_INCHES ? mmToInches(x) : value;
    default:
        return value;
    }
}

std::vector<TimeTick> timeTicks(ReportRange range, std::int64_t first, std::int64_t last)
{
    std::vector<TimeTick> ticks;
    const std::int64_t step = range == ReportRange::day ? 240 : MINUTES_PER_DAY;
    // Ticks fall on whole hours or midnights; start at the first at or after `first`.
    std::int64_t minute = (dayOf(first - 1) + 1) * MINUTES_PER_DAY;
    if (range == ReportRange::day)
        minute = (first + step - 1) / step * step;
    for (; minute <= last; minute += step) {
        const CivilMinute time = civilFromMinutes(minute);
        switch (range) {
        case ReportRange::day:
            ticks.push_back({minute, clockText(minute)});
            break;
        case ReportRange::week:
            ticks.push_back({minute, weekdayDayText(minute)});
            break;
        case ReportRange::month:
            if (time.day % 5 == 1 && time.day != 31)
                ticks.push_back({minute, monthDayText(minute)});
            break;
        case ReportRange::year:
            // Every month is ticked; every other one labelled, as twelve names do not fit a phone.
            if (time.day == 1)
                ticks.push_back({minute, time.month % 2 == 0 ? std::string()
                                         : time.month == 1 ? std::to_string(time.year)
                                                           : monthText(minute)});
            break;
        }
    }
    return ticks;
}

std::vector<ChartSpec> rangeCharts(const RangeBuckets& buckets, const UnitSettings& units)
{
    return {temperatureChart(buckets, units), humidityChart(buckets, units), pressureChart(buckets, units),
            windChart(buckets, units), rainChart(buckets, units)};
}
