// The CSV export of the Linux program: the columns the data sets choose,
// the ISO time column, converted values with the file's digits, invalid
// readings as empty cells, damaged texts quoted, and the same cancel and
// write-failure rules as the UTF-16 file. Also the command line's dates and
// data set names, which end in the page's checks.
#include "export/export_csv.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_options.h"
#include "tests/support/full_observation.h"
#include "tests/support/whole_period_request.h"

namespace {

StationRecord slot(const std::string& text)
{
    StationRecord record{};
    std::memcpy(record.text, text.data(), std::min(text.size(), STATION_RECORD_SIZE - 1));
    return record;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

ExportRequest onlySets(std::initializer_list<const char*> names)
{
    ExportRequest request{};
    bool sets[DATA_SET_COUNT] = {};
    std::string list;
    for (const char* name : names)
        list += (list.empty() ? "" : ",") + std::string(name);
    EXPECT_EQ(parseDataSetList(list.c_str(), sets, nullptr, 0), 1);
    const DateParts none{};
    EXPECT_EQ(checkExportRequest(commandLineExportForm(true, none, none, sets), request), ExportCheck::accepted);
    return request;
}

TEST(ExportCsv, HeaderNamesTheChosenColumnsWithTheirUnits)
{
    EXPECT_EQ(csvHeaderLine(wholePeriodAllSets().dataSets, DEFAULT_UNIT_SETTINGS)
                  .rfind("time,relPressure (hPa),indoorTemp (\u00B0C),indoorHumidity (%),outdoorTemp (\u00B0C),"
                         "outdoorHumidity (%),",
                         0),
              0u);
    const ExportRequest wind = onlySets({"wind"});
    constexpr UnitSettings DEGREES = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_HPA, WIND_KNOTS,
                                      PRESSURE_ABSOLUTE, DIRECTION_DEGREES};
    // Wind chill and the hourly, weekly and monthly rain are in every file.
    EXPECT_EQ(csvHeaderLine(wind.dataSets, DEGREES),
              "time,windSpeed (knots),windGust (knots),windChill (\u00B0F),windDirDegrees (\u00B0),"
              "hourlyRain (in),weeklyRain (in),monthlyRain (in)\n");
}

TEST(ExportCsv, RowHasIsoTimeConvertedValuesAndEmptyInvalidCells)
{
    std::vector<std::string> fields = fullObservation();
    fields[9] = "36";   // windSpeed: 19.4 knots
    fields[10] = "--";  // windGust invalid
    fields[32] = "-20.1"; // windChill: -4.2 °F
    constexpr UnitSettings UNITS = {TEMPERATURE_FAHRENHEIT, RAIN_MM, PRESSURE_HPA, WIND_KNOTS,
                                    PRESSURE_RELATIVE, DIRECTION_POINTS};
    EXPECT_EQ(csvRowLine(slot(joined(fields)), onlySets({"wind"}), UNITS),
              "2026-03-07T09:15,19.4,,-4.2,E,0.0,2.4,12.0\n");
}

TEST(ExportCsv, EmptySlotsAndRecordsOutsideThePeriodGiveNoRow)
{
    EXPECT_EQ(csvRowLine(StationRecord{}, wholePeriodAllSets(), DEFAULT_UNIT_SETTINGS), "");
    ExportRequest request{};
    bool sets[DATA_SET_COUNT] = {};
    DateParts from{}, to{};
    splitDateArgument("2026-03-08", from);
    splitDateArgument("2026-3-31", to);
    ASSERT_EQ(checkExportRequest(commandLineExportForm(false, from, to, sets), request), ExportCheck::accepted);
    EXPECT_EQ(csvRowLine(slot(joined(fullObservation())), request, DEFAULT_UNIT_SETTINGS), "");
    splitDateArgument("2026-3-7", from);
    ASSERT_EQ(checkExportRequest(commandLineExportForm(false, from, to, sets), request), ExportCheck::accepted);
    EXPECT_NE(csvRowLine(slot(joined(fullObservation())), request, DEFAULT_UNIT_SETTINGS), "");
}

TEST(ExportCsv, DamagedTextsAreQuotedAndDamagedDatesLeaveTheTimeEmpty)
{
    std::vector<std::string> fields = fullObservation();
    fields[12] = "N,\"x\""; // windDirPoint as a damaged console might send it
    fields[2] = "9.15";
    const std::string row = csvRowLine(slot(joined(fields)), onlySets({"wind"}), DEFAULT_UNIT_SETTINGS);
    EXPECT_EQ(row.rfind(",", 0), 0u) << row; // no time
    EXPECT_TRUE(contains(row, ",\"N,\"\"x\"\"\",")) << row;
}

// ---- The file ------------------------------------------------------------

class CsvFile : public ::testing::Test {
protected:
    std::string path = ::testing::TempDir() + "aerovane-csv-test.csv";
    void TearDown() override { std::remove(path.c_str()); }

    std::string contents() const
    {
        std::string text;
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            char chunk[4096];
            std::size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
                text.append(chunk, n);
            std::fclose(f);
        }
        return text;
    }
};

TEST_F(CsvFile, WritesHeaderAndRowsInOrder)
{
    const std::vector<StationRecord> slots = {slot(joined(fullObservation())), StationRecord{},
                                              slot(joined(fullObservation()))};
    LinkFlag cancel{0};
    const ExportRequest request = onlySets({"uv"});
    EXPECT_EQ(writeCsvFile(std::fopen(path.c_str(), "wb"), slots.data(), slots.size(), request,
                           DEFAULT_UNIT_SETTINGS, cancel),
              ExportOutcome::written);
    const std::string row = "2026-03-07T09:15,-7.0,0.0,2.4,12.0,5\n";
    EXPECT_EQ(contents(), "time,windChill (\u00B0C),hourlyRain (mm),weeklyRain (mm),monthlyRain (mm),uvIndex\n"
                              + row + row);
}

TEST_F(CsvFile, CancelAndWriteFailuresAreNotSuccess)
{
    const std::vector<StationRecord> slots(3, slot(joined(fullObservation())));
    LinkFlag cancel{1};
    EXPECT_EQ(writeCsvFile(std::fopen(path.c_str(), "wb"), slots.data(), slots.size(), wholePeriodAllSets(),
                           DEFAULT_UNIT_SETTINGS, cancel),
              ExportOutcome::cancelled);
    cancel = 0;
    const ExportWrite normal = exportWrite;
    exportWrite = [](const void*, std::size_t size, std::FILE*) -> std::size_t { return size / 2; };
    EXPECT_EQ(writeCsvFile(std::fopen(path.c_str(), "wb"), slots.data(), slots.size(), wholePeriodAllSets(),
                           DEFAULT_UNIT_SETTINGS, cancel),
              ExportOutcome::failed);
    exportWrite = normal;
}

// ---- Command-line dates and data sets ---------------------------------------

TEST(ExportOptions, DatesGoThroughThePagesChecksAndMessages)
{
    const struct {
        const char* from;
        const char* to;
        ExportCheck expected;
    } cases[] = {
        {"2018-02-28", "2018-3-1", ExportCheck::accepted},
        {"2018-2-31", "2020-12-31", ExportCheck::accepted}, // the page does not check the day against the month
        {"18-1-1", "2020-1-1", ExportCheck::yearError},     // a start year has four characters
        {"2018-1-1", "2016-1-1", ExportCheck::yearError},   // an end year is 2017 or later
        {"2018-13-1", "2020-1-1", ExportCheck::monthError},
        {"2018-1", "2020-1-1", ExportCheck::dayError},
        {"2018", "2020-1-1", ExportCheck::monthError},
        {"2018-1-1", "2020-1-32", ExportCheck::dayError},
        {"2018-1-123456789", "2020-1-1", ExportCheck::dayError}, // cut, never overflowing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " " + c.to);
        DateParts from{}, to{};
        splitDateArgument(c.from, from);
        splitDateArgument(c.to, to);
        bool sets[DATA_SET_COUNT] = {};
        ExportRequest request{};
        EXPECT_EQ(checkExportRequest(commandLineExportForm(false, from, to, sets), request), c.expected);
    }
    EXPECT_STREQ(exportCheckMessage(ExportCheck::monthError), L"Month input error !");
}

TEST(ExportOptions, DataSetNamesAndAll)
{
    bool sets[DATA_SET_COUNT];
    char bad[16];
    ASSERT_EQ(parseDataSetList("uv,ch7,pressure", sets, bad, sizeof bad), 1);
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        EXPECT_EQ(sets[i], i == 0 || i == 7 || i == 14) << i;
    ASSERT_EQ(parseDataSetList("all", sets, bad, sizeof bad), 1);
    for (bool set : sets)
        EXPECT_TRUE(set);
    EXPECT_EQ(parseDataSetList("wind,,rain", sets, bad, sizeof bad), 0);
    EXPECT_STREQ(bad, "");
    EXPECT_EQ(parseDataSetList("wind,windy-and-very-long", sets, bad, sizeof bad), 0);
    EXPECT_STREQ(bad, "windy-and-very-");
    EXPECT_EQ(parseDataSetList("", sets, bad, sizeof bad), 0);
}

} // namespace
