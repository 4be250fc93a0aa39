// The whole report page: a well-formed, script-free document whatever the
// console sent, current conditions with the dashboard's digits and units,
// charts in the chosen units, and the page of an empty archive.
#include "report/report_page.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "readings/record_time.h"
#include "tests/support/full_observation.h"
#include "tests/support/model_samples.h"

namespace {

const std::int64_t END = minutesFromCivil({2026, 12, 7, 9, 5});

constexpr UnitSettings IMPERIAL = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG,
                                   WIND_MPH,               PRESSURE_RELATIVE, DIRECTION_DEGREES};

StationFields parsed(const std::vector<std::string>& values)
{
    const std::string line = joined(values);
    StationFields fields{};
    parseStationRecord(line.c_str(), line.size() + 1, fields);
    return fields;
}

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++count;
    return count;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The text between the element holding `marker` and the end of its section.
std::string sectionOf(const std::string& page, const std::string& id)
{
    const std::size_t start = page.find("<section id=\"" + id + "\"");
    if (start == std::string::npos)
        return "";
    return page.substr(start, page.find("</section>", start) - start);
}

std::string firstFigure(const std::string& section)
{
    const std::size_t start = section.find("<figure");
    if (start == std::string::npos)
        return "";
    return section.substr(start, section.find("</figure>", start) - start);
}

// Everything the page must be, whatever it shows.
void expectSoundPage(const std::string& page)
{
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_TRUE(contains(page, "<meta charset=\"utf-8\">"));
    EXPECT_TRUE(contains(page, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"));
    EXPECT_TRUE(contains(page, "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
                               "style-src 'unsafe-inline'; img-src data:"));
    const std::string lower = lowered(page);
    EXPECT_FALSE(contains(lower, "<script"));
    EXPECT_FALSE(contains(lower, "javascript:"));
    EXPECT_FALSE(contains(lower, " on")) << "no event handler attributes"; // onload=, onclick= ...
    EXPECT_FALSE(contains(lower, "http:"));
    EXPECT_FALSE(contains(lower, "https:"));
    EXPECT_FALSE(contains(lower, "nan"));
    EXPECT_FALSE(contains(lower, "inf"));
    EXPECT_EQ(countOf(page, "<svg"), countOf(page, "</svg>"));
    EXPECT_EQ(countOf(page, "<svg"), countOf(page, "<title>") - 1); // the page's own title
    EXPECT_EQ(countOf(page, "<svg"), countOf(page, "role=\"img\" aria-label=\""));
    EXPECT_EQ(countOf(page, "<section"), countOf(page, "</section>"));
    EXPECT_EQ(countOf(page, "<figure"), countOf(page, "</figure>"));
    EXPECT_TRUE(page.size() > 14 && page.compare(page.size() - 8, 8, "</html>\n") == 0);
}

std::string modelPage(const UnitSettings& units, std::int64_t step)
{
    StationModel model;
    initStationModel(model, 7, 0, 45);
    ReportBuilder builder(END);
    addModelYear(builder, model, END, step);
    const StationFields latest = modelFields(model, END);
    return builder.page(&latest, units);
}

// A day of one reading every five minutes, all the same.
ReportBuilder steadyDay(const StationFields& fields)
{
    ReportBuilder builder(END);
    for (std::int64_t minute = END - 1435; minute <= END; minute += 5)
        builder.add(reportSample(minute, fields));
    return builder;
}

// ---- a year of the station model -----------------------------------------------

TEST(ReportPage, YearOfObservationsGivesASoundPageOfTwentyCharts)
{
    const std::string page = modelPage(DEFAULT_UNIT_SETTINGS, 5);
    expectSoundPage(page);
    EXPECT_EQ(countOf(page, "<svg"), 20u);
    EXPECT_EQ(countOf(page, "No data"), 0u);
    EXPECT_TRUE(contains(page, "<h1>Aerovane</h1>"));
    EXPECT_TRUE(contains(page, "Updated 2026-12-07 09:05"));
    for (const char* id : {"now", "today", "day", "week", "month", "year"}) {
        EXPECT_TRUE(contains(page, std::string("<a href=\"#") + id + "\">")) << id;
        EXPECT_FALSE(sectionOf(page, id).empty()) << id;
    }
    // A few hundred kilobytes at most, whatever the number of samples.
    EXPECT_LT(page.size(), 400u * 1024);
}

TEST(ReportPage, SameSamplesGiveTheSamePage)
{
    EXPECT_EQ(modelPage(IMPERIAL, 60), modelPage(IMPERIAL, 60));
}

TEST(ReportPage, SamplesNeedOnlyTheFieldsTheReportReads)
{
    // The archive fills only REPORT_SAMPLE_FIELDS: a page that read any
    // other field of a sample would change here.
    StationModel model;
    initStationModel(model, 7, 30, 45);
    ReportBuilder full(END);
    ReportBuilder narrow(END);
    for (std::int64_t minute = END - 40 * MINUTES_PER_DAY; minute <= END; minute += 30) {
        const ReportSample sample = reportSample(minute, modelFields(model, minute));
        full.add(sample);
        ReportSample few;
        few.minute = minute;
        for (double& value : few.value)
            value = NAN;
        for (int field : REPORT_SAMPLE_FIELDS)
            few.value[field] = sample.value[field];
        narrow.add(few);
    }
    const StationFields latest = modelFields(model, END);
    EXPECT_EQ(full.page(&latest, IMPERIAL), narrow.page(&latest, IMPERIAL));
}

TEST(ReportPage, ChartsFollowTheUnitChoice)
{
    const std::string metric = sectionOf(modelPage(DEFAULT_UNIT_SETTINGS, 30), "year");
    const std::string imperial = sectionOf(modelPage(IMPERIAL, 30), "year");
    EXPECT_TRUE(contains(metric, "(\u00B0C)"));
    EXPECT_TRUE(contains(metric, "(hPa)"));
    EXPECT_TRUE(contains(metric, "(km/h)"));
    EXPECT_TRUE(contains(metric, "(mm)"));
    EXPECT_TRUE(contains(imperial, "(\u00B0F)"));
    EXPECT_TRUE(contains(imperial, "(inHg)"));
    EXPECT_TRUE(contains(imperial, "(mph)"));
    EXPECT_TRUE(contains(imperial, "(in)"));
    // hPa tick labels are four digits; inHg ones are around 30.
    EXPECT_TRUE(contains(metric, ">1000</text>"));
    EXPECT_FALSE(contains(imperial, ">1000</text>"));
    EXPECT_TRUE(contains(imperial, ">30.0</text>") || contains(imperial, ">30</text>"));
}

// ---- steady readings in chosen units --------------------------------------------

TEST(ReportPage, CurrentConditionsCarryTheDashboardsDigitsAndUnits)
{
    std::vector<std::string> values = fullObservation();
    values[3] = "22.2";    // indoorTemp: 71.9 °F
    values[5] = "-20.1";   // outdoorTemp: -4.2 °F
    values[7] = "25.4";    // dailyRain: 1.00 in
    values[9] = "36";      // windSpeed: 22.4 mph
    values[11] = "225";    // windDirDegrees
    values[13] = "1013.2"; // relPressure: 29.92 inHg
    values[16] = "-21.0";  // dewPoint: -5.8 °F
    const StationFields fields = parsed(values);
    const std::string page = steadyDay(fields).page(&fields, IMPERIAL);
    expectSoundPage(page);
    const std::string now = sectionOf(page, "now");
    EXPECT_TRUE(contains(now, "Outdoor</span><span class=\"value\">-4.2<span class=\"unit\">\u00B0F</span>")) << now;
    EXPECT_TRUE(contains(now, "Indoor</span><span class=\"value\">71.9<span class=\"unit\">\u00B0F</span>"));
    EXPECT_TRUE(contains(now, ">29.92 <span class=\"unit\">inHg</span>"));
    EXPECT_TRUE(contains(now, ">22.4 <span class=\"unit\">mph</span>"));
    EXPECT_TRUE(contains(now, ">1.00 <span class=\"unit\">in</span>"));
    EXPECT_TRUE(contains(now, "Direction</span><span class=\"value\">225<span class=\"unit\">\u00B0</span>"));
    EXPECT_TRUE(contains(now, "Pressure (rel.)"));

    // Today's table: the same digits, with the time each was reached.
    const std::string today = sectionOf(page, "today");
    EXPECT_TRUE(contains(today, "-4.2\u00B0F<small>at 00:00</small>")) << today;
    EXPECT_TRUE(contains(today, "29.92 inHg<small>at 00:00</small>"));
    EXPECT_TRUE(contains(today, "22.4 mph<small>at 00:00</small>"));

    // The day's temperature axis runs over -6..-4 °F, not around -20 °C.
    const std::string temperature = firstFigure(sectionOf(page, "day"));
    EXPECT_TRUE(contains(temperature, ">-4.0</text>")) << temperature;
    EXPECT_TRUE(contains(temperature, ">-6.0</text>"));
    EXPECT_FALSE(contains(temperature, ">-20"));
}

TEST(ReportPage, AbsolutePressureAndCompassPointsWhenChosen)
{
    const StationFields fields = parsed(fullObservation());
    UnitSettings units = DEFAULT_UNIT_SETTINGS;
    units.pressureType = PRESSURE_ABSOLUTE;
    const std::string page = steadyDay(fields).page(&fields, units);
    const std::string now = sectionOf(page, "now");
    EXPECT_TRUE(contains(now, "Pressure (abs.)</span><span class=\"value\">1009.8 <span class=\"unit\">hPa"));
    EXPECT_TRUE(contains(now, "Direction</span><span class=\"value\">E</span>"));
    EXPECT_TRUE(contains(sectionOf(page, "today"), "1009.8 hPa"));
    EXPECT_TRUE(contains(sectionOf(page, "day"), "Absolute pressure"));
}

// ---- what the console may send ---------------------------------------------------

TEST(ReportPage, InvalidAndMissingReadingsShowPlaceholdersNeverNumbers)
{
    std::vector<std::string> values = fullObservation();
    for (int field : {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16, 17, 32})
        values[static_cast<std::size_t>(field)] = "--";
    values[5] = "--.-";
    values[12] = "---";
    const StationFields dashes = parsed(values);
    StationFields empty{};
    const std::string page = steadyDay(dashes).page(&dashes, IMPERIAL);
    expectSoundPage(page);
    const std::string now = sectionOf(page, "now");
    EXPECT_TRUE(contains(now, "Outdoor</span><span class=\"value\">--.-")) << now;
    EXPECT_EQ(countOf(sectionOf(page, "today"), "at "), 0u);
    // Nothing to chart but the channels: every chart says so.
    EXPECT_EQ(countOf(page, "<svg"), 0u);
    EXPECT_EQ(countOf(page, "No data"), 20u);

    const std::string emptyPage = ReportBuilder(END).page(&empty, DEFAULT_UNIT_SETTINGS);
    expectSoundPage(emptyPage);
    // The dashboard's placeholders, with the unit it draws beside them.
    EXPECT_TRUE(contains(sectionOf(emptyPage, "now"), "Outdoor</span><span class=\"value\">--.-<span class=\"unit\">"));
    EXPECT_TRUE(contains(sectionOf(emptyPage, "now"), "Wind</span><span class=\"value\">--</span>"));
}

TEST(ReportPage, DamagedNumbersNeitherCrashNorLeakIntoThePage)
{
    std::vector<std::string> values = fullObservation();
    values[5] = "1e400";
    values[6] = "99999999999999999999";
    values[13] = "nan";
    values[9] = "inf";
    const StationFields fields = parsed(values);
    ReportSample sample = reportSample(END, fields);
    sample.value[StationFields::dewPoint] = std::nan("");
    sample.value[StationFields::windGust] = -HUGE_VAL;
    ReportBuilder builder(END);
    builder.add(sample);
    const StationFields latest = parsed(fullObservation());
    const std::string page = builder.page(&latest, IMPERIAL);
    expectSoundPage(page);
}

TEST(ReportPage, ConsoleTextsAreEscaped)
{
    std::vector<std::string> values = fullObservation();
    values[12] = "<script>alert(1)</script>";
    values[5] = "\"><img";
    values[3] = "&amp;";
    const StationFields fields = parsed(values);
    const std::string page = ReportBuilder(END).page(&fields, DEFAULT_UNIT_SETTINGS);
    expectSoundPage(page);
    EXPECT_TRUE(contains(page, "&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_FALSE(contains(page, "<img"));
    EXPECT_TRUE(contains(page, "&quot;&gt;&lt;img"));
    EXPECT_TRUE(contains(page, "&amp;amp;"));
}

TEST(ReportPage, EmptyArchiveSaysSo)
{
    const std::string page = ReportBuilder(END).page(nullptr, DEFAULT_UNIT_SETTINGS);
    expectSoundPage(page);
    EXPECT_TRUE(contains(page, "No observations yet."));
    EXPECT_FALSE(contains(page, "Updated"));
    EXPECT_EQ(countOf(page, "<svg"), 0u);
}

// ---- which samples the builder takes ---------------------------------------------

TEST(ReportPage, SamplesAfterTheEndOrBeforeTheYearAreIgnored)
{
    std::vector<std::string> values = fullObservation();
    const StationFields usual = parsed(values);
    values[5] = "77.7";
    const StationFields hot = parsed(values);
    ReportBuilder builder(END);
    builder.add(reportSample(END - 365 * MINUTES_PER_DAY, hot));
    builder.add(reportSample(END - 60, usual));
    builder.add(reportSample(END, usual));
    builder.add(reportSample(END + 1, hot));
    const std::string page = builder.page(&usual, DEFAULT_UNIT_SETTINGS);
    expectSoundPage(page);
    // -3.5 °C and a dew point of 10 °C throughout: no axis reaches 77.7.
    EXPECT_FALSE(contains(page, "77.7"));
    for (const char* id : {"day", "week", "month", "year"}) {
        const std::string temperature = firstFigure(sectionOf(page, id));
        EXPECT_TRUE(contains(temperature, ">-5</text>")) << temperature;
        EXPECT_TRUE(contains(temperature, ">10</text>"));
        EXPECT_FALSE(contains(temperature, ">20</text>"));
    }
    EXPECT_TRUE(contains(sectionOf(page, "today"), "-3.5\u00B0C<small>at 08:05</small>"));
}

TEST(ReportPage, RainAcrossMidnightResetsAddsUpInEveryRange)
{
    // 2.0 mm by 23:00 on the 5th, 3.5 by midnight; 1.2 on the 6th; 0.4 this morning.
    const std::int64_t day5 = minutesFromCivil({2026, 12, 5, 0, 0});
    const std::pair<std::int64_t, const char*> totals[] = {
        {day5 + 10 * 60, "0.0"}, {day5 + 23 * 60, "2.0"}, {day5 + 23 * 60 + 55, "3.5"},
        {day5 + 1440 + 5, "0.0"}, {day5 + 1440 + 600, "1.2"}, {day5 + 2880 + 5, "0.2"},
        {END, "0.4"},
    };
    std::vector<std::string> values = fullObservation();
    ReportBuilder builder(END);
    StationFields latest{};
    for (const auto& [minute, rain] : totals) {
        values[7] = rain;
        latest = parsed(values);
        builder.add(reportSample(minute, latest));
    }
    const std::string page = builder.page(&latest, DEFAULT_UNIT_SETTINGS);
    // The first sample has nothing before it and counts nothing.
    EXPECT_TRUE(contains(sectionOf(page, "week"), "Total 5.1 mm")) << sectionOf(page, "week");
    EXPECT_TRUE(contains(sectionOf(page, "year"), "Total 5.1 mm"));
    EXPECT_TRUE(contains(sectionOf(page, "day"), "Total 1.6 mm")); // from 10:00 yesterday
    EXPECT_TRUE(contains(sectionOf(page, "today"), "<th>Rain</th><td>0.4 mm"));

    UnitSettings inches = DEFAULT_UNIT_SETTINGS;
    inches.rainUnit = RAIN_INCHES;
    EXPECT_TRUE(contains(sectionOf(builder.page(&latest, inches), "week"), "Total 0.20 in"));
}

TEST(ReportPage, GapInTheArchiveBreaksTheDayLine)
{
    const StationFields fields = parsed(fullObservation());
    ReportBuilder builder(END);
    for (std::int64_t minute = END - 1435; minute <= END; minute += 5)
        if (minute < END - 600 || minute > END - 300)
            builder.add(reportSample(minute, fields));
    const std::string day = sectionOf(builder.page(&fields, DEFAULT_UNIT_SETTINGS), "day");
    const std::string start = "<path class=\"line temp\" d=\"";
    const std::size_t at = day.find(start);
    ASSERT_NE(at, std::string::npos);
    const std::string d = day.substr(at + start.size(), day.find('"', at + start.size()) - at - start.size());
    EXPECT_EQ(countOf(d, "M"), 2u) << d;
}

TEST(ReportSampleFromFields, ReadingsBecomeNumbersAndTheRestNaN)
{
    std::vector<std::string> values = fullObservation();
    values[6] = "--";
    values[8] = "";
    const ReportSample sample = reportSample(END, parsed(values));
    EXPECT_EQ(sample.minute, END);
    EXPECT_FLOAT_EQ(static_cast<float>(sample.value[StationFields::outdoorTemp]), -3.5f);
    EXPECT_FLOAT_EQ(static_cast<float>(sample.value[StationFields::relPressure]), 1013.2f);
    EXPECT_EQ(sample.value[StationFields::windDirDegrees], 90.0);
    EXPECT_TRUE(std::isnan(sample.value[StationFields::outdoorHumidity]));
    EXPECT_TRUE(std::isnan(sample.value[StationFields::rainRate]));
    EXPECT_TRUE(std::isnan(sample.value[StationFields::windDirPoint]));
    EXPECT_TRUE(std::isnan(sample.value[StationFields::recordDate]));
    EXPECT_TRUE(std::isnan(sample.value[StationFields::ch3Temp])); // "--.-"
}

} // namespace
