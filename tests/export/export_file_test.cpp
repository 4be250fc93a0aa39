// The export file, byte for byte: the byte-order mark, the header and unit
// rows, the data rows of each unit setting and data set choice, the period
// filter, and write failures that must not pass for success.
#include "export/export_file.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <gtest/gtest.h>

#include "sim/station_model.h"
#include "tests/support/whole_period_request.h"

namespace {

// ---- Records ---------------------------------------------------------------

const char* const R1 =
    "45 2018-2-28 23:30 21.3 45 -3.5 80 12.7 3.3 36 52 225 SW 1013.2 1009.8 3 -5.6 -3.5 20.1 50 "
    "18.4 61 19.8 55 -12.3 70 4.4 88 23.9 41 30.1 35 -6.1 0.3 10.4 152.6";
// Invalid readings in their dash forms, and zeros.
const char* const R2 =
    "46 2018-3-1 00:00 --.- -- 0.0 - -.- -.- -- -- -- -- -- -- -- --.- --.- --.- -- -20.1 99 --.- -- "
    "--.- -- --.- -- --.- -- --.- -- --.- -.- 0.0 25.4";
// Too few values: the later fields are empty.
const char* const R4 = "47 2018-3-2 01:00 22.2";

StationRecord slot(const char* text)
{
    StationRecord record;
    std::memset(&record, 0, sizeof record);
    if (text)
        std::memcpy(record.text, text, std::min(std::strlen(text), STATION_RECORD_SIZE - 1));
    return record;
}

const std::vector<StationRecord> SMALL_HISTORY = {slot(R1), slot(nullptr), slot(R2), slot(R4)};

// ---- Expected text ----------------------------------------------------------

const std::u16string HEADER_ROW =
    u"Date\tTime\t\"Barometric\r\npressure\"\t\"Indoor\r\ntemperature\"\t\"Indoor\r\nhumidity\"\t"
    u"\"Outdoor\r\ntemperature\"\t\"Outdoor\r\nhumidity\"\tDew-point\t\"Heat\r\nindex\"\t"
    u"\"Wind\r\nspeed\"\t\"Wind\r\ngust\"\t\"Wind\r\nchill\"\t\"Wind\r\ndirection\"\tRain rate\t"
    u"\"Hourly\r\nrainfall\"\t\"Daily\r\nrainfall\"\t\"Weekly\r\nrainfall\"\t\"Monthly\r\nrainfall\"\t"
    u"\"UV\r\nindex\"\t\"CH1\r\ntemperature\"\t\"CH1\r\nhumidity\"\t\"CH2\r\ntemperature\"\t"
    u"\"CH2\r\nhumidity\"\t\"CH3\r\ntemperature\"\t\"CH3\r\nhumidity\"\t\"CH4\r\ntemperature\"\t"
    u"\"CH4\r\nhumidity\"\t\"CH5\r\ntemperature\"\t\"CH5\r\nhumidity\"\t\"CH6\r\ntemperature\"\t"
    u"\"CH6\r\nhumidity\"\t\"CH7\r\ntemperature\"\t\"CH7\r\nhumidity\"\n";

// With the default settings, written out in full.
const std::u16string DEFAULT_UNIT_ROW =
    u" yy-mm-dd \t hh:mm \t hPa(Rel) \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t \u00B0C \t km/h \t"
    u" km/h \t \u00B0C \t 16(direction) \t mm/h \t mm \t  mm \t mm \t mm \t index \t \u00B0C \t % \t"
    u" \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \t \u00B0C \t % \n";

const std::u16string DEFAULT_R1_ROW =
    u" 2018-2-28 \t 23:30 \t 1013.2 \t 21.3 \t 45 \t -3.5 \t 80 \t -5.6 \t -3.5 \t 36 \t 52 \t -6.1 \t"
    u" SW \t 3.3 \t 0.3 \t 12.7 \t 10.4 \t 152.6 \t 3 \t 20.1 \t 50 \t 18.4 \t 61 \t 19.8 \t 55 \t"
    u" -12.3 \t 70 \t 4.4 \t 88 \t 23.9 \t 41 \t 30.1 \t 35 \n";

// A row from its 33 cell texts: each padded with a space on both sides,
// TAB between, LF at the end.
std::u16string row(const std::vector<std::u16string>& cells)
{
    std::u16string text;
    for (std::size_t i = 0; i < cells.size(); ++i)
        text += (i ? u"\t " : u" ") + cells[i] + u" ";
    return text + u"\n";
}

// The seven channel columns after UV: temperature and humidity alternating.
std::vector<std::u16string> withChannels(std::vector<std::u16string> cells, const std::u16string& temperature,
                                         const std::u16string& humidity)
{
    for (int k = 0; k < 7; ++k) {
        cells.push_back(temperature);
        cells.push_back(humidity);
    }
    return cells;
}

std::string littleEndian(const std::u16string& text)
{
    std::string bytes;
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

std::string fileOf(const std::u16string& text)
{
    return "\xFF\xFE" + littleEndian(text);
}

// ---- Writing and reading back -------------------------------------------------

std::string tempPath(const char* tag)
{
#ifdef _WIN32
    const char* directory = std::getenv("TEMP");
    const std::string separator = "\\";
#else
    const char* directory = "/tmp";
    const std::string separator = "/";
#endif
    return std::string(directory ? directory : ".") + separator + "aerovane-" + tag + "-"
           + std::to_string(getpid()) + ".csv";
}

std::string readAll(const std::string& path)
{
    std::string bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    std::fclose(file);
    return bytes;
}

ExportRequest period(const wchar_t* start, const wchar_t* end)
{
    ExportRequest request = wholePeriodAllSets();
    request.dataSets.wholePeriod = 0;
    std::wcscpy(request.exportStartDate, start);
    std::wcscpy(request.exportEndDate, end);
    return request;
}

class ExportFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = tempPath(::testing::UnitTest::GetInstance()->current_test_info()->name());
        setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
    }
    void TearDown() override
    {
        std::remove(path.c_str());
        setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
        exportWrite = savedWrite;
    }

    // The whole file's bytes, or "" when the export did not succeed.
    std::string exportBytes(const std::vector<StationRecord>& slots, const ExportRequest& request,
                            const UnitSettings& units = DEFAULT_UNIT_SETTINGS)
    {
        setCurrentUnitSettings(units);
        FILE* file = std::fopen(path.c_str(), "wb");
        EXPECT_NE(nullptr, file);
        if (!file)
            return "";
        const LinkFlag notCancelled{0};
        const ExportOutcome outcome = writeExportFile(file, slots.data(), slots.size(), request, notCancelled);
        EXPECT_EQ(ExportOutcome::written, outcome);
        return outcome == ExportOutcome::written ? readAll(path) : "";
    }

    // The data rows as cell texts, padding checked and removed.
    std::vector<std::vector<std::u16string>> exportedRows(const std::vector<StationRecord>& slots,
                                                          const ExportRequest& request,
                                                          const UnitSettings& units = DEFAULT_UNIT_SETTINGS)
    {
        const std::string prefix = exportBytes({}, request, units);
        const std::string bytes = exportBytes(slots, request, units);
        std::vector<std::vector<std::u16string>> rows;
        EXPECT_EQ(0u, bytes.compare(0, prefix.size(), prefix));
        std::u16string text;
        for (std::size_t i = prefix.size(); i + 1 < bytes.size(); i += 2)
            text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i])
                                          | (static_cast<unsigned char>(bytes[i + 1]) << 8));
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find(u'\n', start);
            EXPECT_NE(std::u16string::npos, end) << "a row without its LF";
            if (end == std::u16string::npos)
                break;
            std::vector<std::u16string> cells;
            std::size_t cellStart = start;
            for (;;) {
                const std::size_t tab = text.find(u'\t', cellStart);
                const std::size_t cellEnd = tab < end ? tab : end;
                const std::u16string cell = text.substr(cellStart, cellEnd - cellStart);
                EXPECT_TRUE(cell.size() >= 2 && cell.front() == u' ' && cell.back() == u' ');
                cells.push_back(cell.size() >= 2 ? cell.substr(1, cell.size() - 2) : cell);
                if (cellEnd == end)
                    break;
                cellStart = cellEnd + 1;
            }
            EXPECT_EQ(33u, cells.size());
            rows.push_back(cells);
            start = end + 1;
        }
        return rows;
    }

    std::string path;
    ExportWrite savedWrite = exportWrite;
};

const UnitSettings IMPERIAL_DEGREES = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_INHG, WIND_MPH,
                                       PRESSURE_RELATIVE, DIRECTION_DEGREES};
const UnitSettings MERCURY_ABSOLUTE = {TEMPERATURE_FAHRENHEIT, RAIN_INCHES, PRESSURE_MMHG,
                                       WIND_METRES_PER_SECOND, PRESSURE_ABSOLUTE, DIRECTION_POINTS};
const UnitSettings KNOTS_HPA_ABSOLUTE = {TEMPERATURE_CELSIUS, RAIN_MM, PRESSURE_HPA, WIND_KNOTS,
                                         PRESSURE_ABSOLUTE, DIRECTION_POINTS};

// ---- Byte-exact files -------------------------------------------------------------

TEST_F(ExportFile, DefaultUnitsSmallHistoryIsByteExact)
{
    const std::u16string r2 =
        row({u"2018-3-1", u"00:00", u"--", u"--.-", u"--", u"0.0", u"-", u"--.-", u"--.-", u"--", u"--",
             u"--.-", u"--", u"-.-", u"-.-", u"-.-", u"0.0", u"25.4", u"--", u"--.-", u"--", u"-20.1", u"99",
             u"--.-", u"--", u"--.-", u"--", u"--.-", u"--", u"--.-", u"--", u"--.-", u"--"});
    const std::u16string r4 =
        row(withChannels({u"2018-3-2", u"01:00", u"", u"22.2", u"", u"", u"", u"", u"", u"", u"", u"", u"",
                          u"", u"", u"", u"", u"", u""},
                         u"", u""));

    // The all-zero slot between R1 and R2 gives no row.
    EXPECT_EQ(fileOf(HEADER_ROW + DEFAULT_UNIT_ROW + DEFAULT_R1_ROW + r2 + r4),
              exportBytes(SMALL_HISTORY, wholePeriodAllSets()));
}

TEST_F(ExportFile, FahrenheitInchesInHgMphDegreesIsByteExact)
{
    const std::u16string unitRow = row(withChannels(
        {u"yy-mm-dd", u"hh:mm", u"inHg(Rel)", u"\u00B0F", u"%", u"\u00B0F", u"%", u"\u00B0F", u"\u00B0F",
         u"mph", u"mph", u"\u00B0F", u"360\u00B0(Degree)", u"in/h", u"in", u" in", u"in", u"in", u"index"},
        u"\u00B0F", u"%"));
    const std::u16string r1 =
        row({u"2018-2-28", u"23:30", u"29.92", u"70.3", u"45", u"25.7", u"80", u"21.9", u"25.7", u"22.4",
             u"32.3", u"21.0", u"225", u"0.13", u"0.01", u"0.50", u"0.41", u"6.01", u"3", u"68.1", u"50",
             u"65.1", u"61", u"67.6", u"55", u"9.8", u"70", u"39.9", u"88", u"75.0", u"41", u"86.1", u"35"});
    // Dash forms pass in every unit, "-.-" included; zeros convert.
    const std::u16string r2 =
        row({u"2018-3-1", u"00:00", u"--", u"--.-", u"--", u"32.0", u"-", u"--.-", u"--.-", u"--", u"--",
             u"--.-", u"--", u"-.-", u"-.-", u"-.-", u"0.00", u"1.00", u"--", u"--.-", u"--", u"-4.2", u"99",
             u"--.-", u"--", u"--.-", u"--", u"--.-", u"--", u"--.-", u"--", u"--.-", u"--"});
    const std::u16string r4 =
        row(withChannels({u"2018-3-2", u"01:00", u"", u"71.9", u"", u"", u"", u"", u"", u"", u"", u"", u"",
                          u"", u"", u"", u"", u"", u""},
                         u"", u""));
    EXPECT_EQ(fileOf(HEADER_ROW + unitRow + r1 + r2 + r4),
              exportBytes(SMALL_HISTORY, wholePeriodAllSets(), IMPERIAL_DEGREES));
}

TEST_F(ExportFile, MmHgMetresPerSecondAbsoluteIsByteExact)
{
    const std::u16string unitRow = row(withChannels(
        {u"yy-mm-dd", u"hh:mm", u"mmHg(Abs)", u"\u00B0F", u"%", u"\u00B0F", u"%", u"\u00B0F", u"\u00B0F",
         u"m/s", u"m/s", u"\u00B0F", u"16(direction)", u"in/h", u"in", u" in", u"in", u"in", u"index"},
        u"\u00B0F", u"%"));
    const std::u16string r1 =
        row({u"2018-2-28", u"23:30", u"757.4", u"70.3", u"45", u"25.7", u"80", u"21.9", u"25.7", u"10.0",
             u"14.4", u"21.0", u"SW", u"0.13", u"0.01", u"0.50", u"0.41", u"6.01", u"3", u"68.1", u"50",
             u"65.1", u"61", u"67.6", u"55", u"9.8", u"70", u"39.9", u"88", u"75.0", u"41", u"86.1", u"35"});
    EXPECT_EQ(fileOf(HEADER_ROW + unitRow + r1), exportBytes({slot(R1)}, wholePeriodAllSets(), MERCURY_ABSOLUTE));
}

// ---- Columns, data sets and unit cells -----------------------------------------------

TEST_F(ExportFile, EveryDataSetClearedKeepsDateTimeChillAndThreeRainfalls)
{
    ExportRequest request{};
    request.dataSets.wholePeriod = 1;
    const std::u16string expected =
        row({u"2018-2-28", u"23:30", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"-6.1", u"", u"", u"0.3",
             u"", u"10.4", u"152.6", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"",
             u""});
    // Titles and units stay in every column.
    EXPECT_EQ(fileOf(HEADER_ROW + DEFAULT_UNIT_ROW + expected), exportBytes({slot(R1)}, request));
}

TEST_F(ExportFile, EachDataSetFillsExactlyItsColumns)
{
    const std::vector<int> always = {1, 2, 12, 15, 17, 18};
    // By check box 1217..1231: the 1-based columns each adds.
    const std::vector<std::vector<int>> columnsOf = {
        {3},      {6, 7},   {4, 5},   {8},      {10, 11, 13}, {9},      {14, 16}, {19},
        {20, 21}, {22, 23}, {24, 25}, {26, 27}, {28, 29},     {30, 31}, {32, 33},
    };
    for (int set = 0; set < 15; ++set) {
        ExportRequest request{};
        request.dataSets.wholePeriod = 1;
        std::uint32_t* flags[15] = {&request.dataSets.pressureSet, &request.dataSets.outdoorSet,
                                    &request.dataSets.indoorSet,   &request.dataSets.dewPointSet,
                                    &request.dataSets.windSet,     &request.dataSets.heatIndexSet,
                                    &request.dataSets.rainSet,     &request.dataSets.uvSet};
        for (int k = 0; k < 7; ++k)
            flags[8 + k] = &request.dataSets.channelSet[k];
        *flags[set] = 1;

        const auto rows = exportedRows({slot(R1)}, request);
        ASSERT_EQ(1u, rows.size());
        std::vector<int> filled;
        for (int column = 1; column <= 33; ++column)
            if (!rows[0][column - 1].empty())
                filled.push_back(column);
        std::vector<int> expected = always;
        expected.insert(expected.end(), columnsOf[set].begin(), columnsOf[set].end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, filled) << "data set box " << 1217 + set;
    }
}

TEST_F(ExportFile, AbsolutePressureTypeTakesAbsPressureInEveryUnit)
{
    const std::u16string expectedUnits[] = {u"hPa(Abs)", u"mmHg(Abs)", u"inHg(Abs)"};
    const std::u16string expectedValues[] = {u"1009.8", u"757.4", u"29.82"};
    for (std::uint8_t unit = 0; unit <= 2; ++unit) {
        UnitSettings units = DEFAULT_UNIT_SETTINGS;
        units.pressureUnit = unit;
        units.pressureType = PRESSURE_ABSOLUTE;
        units.windUnit = WIND_KNOTS;
        const std::string bytes = exportBytes({slot(R1)}, wholePeriodAllSets(), units);
        EXPECT_NE(std::string::npos, bytes.find(littleEndian(u"\t " + expectedUnits[unit] + u" \t")));
        EXPECT_NE(std::string::npos, bytes.find(littleEndian(u"\t knots \t knots \t")));
        const auto rows = exportedRows({slot(R1)}, wholePeriodAllSets(), units);
        EXPECT_EQ(expectedValues[unit], rows[0][2]);
        EXPECT_EQ(u"19.4", rows[0][9]);
        EXPECT_EQ(u"28.1", rows[0][10]);
    }
}

TEST_F(ExportFile, OutOfRangeCodesGiveEmptyUnitCellsAndUnconvertedValues)
{
    // Only an altered stored setting holds such codes.
    const UnitSettings odd = {2, 2, 3, 4, 2, 2};
    const std::u16string unitRow = row(withChannels(
        {u"yy-mm-dd", u"hh:mm", u"", u"", u"%", u"", u"%", u"", u"", u"", u"", u"", u"", u"", u"", u"", u"",
         u"", u"index"},
        u"", u"%"));
    std::u16string r1 = DEFAULT_R1_ROW;
    r1.replace(r1.find(u" 1013.2 "), 8, u" 1009.8 "); // any type but relative is absolute
    EXPECT_EQ(fileOf(HEADER_ROW + unitRow + r1), exportBytes({slot(R1)}, wholePeriodAllSets(), odd));

    // Each code alone: a wrong pressure type empties the pressure unit too.
    UnitSettings type = DEFAULT_UNIT_SETTINGS;
    type.pressureType = 7;
    EXPECT_EQ(std::string::npos,
              exportBytes({}, wholePeriodAllSets(), type).find(littleEndian(u"hPa")));

    // A rain code alone empties all five rain cells, the daily one with
    // its extra space.
    UnitSettings rain = DEFAULT_UNIT_SETTINGS;
    rain.rainUnit = 2;
    std::u16string rainless = DEFAULT_UNIT_ROW;
    const std::u16string rainCells = u" mm/h \t mm \t  mm \t mm \t mm ";
    rainless.replace(rainless.find(rainCells), rainCells.size(), u"  \t  \t  \t  \t  ");
    EXPECT_EQ(fileOf(HEADER_ROW + rainless), exportBytes({}, wholePeriodAllSets(), rain));
}

TEST_F(ExportFile, RecordTextsAreWrittenAsTheyStandNeverAsAFormat)
{
    std::string text = R1;
    text.replace(text.find(" SW "), 4, " %s%n%ls ");
    text.replace(text.find(" 3 -5.6"), 7, " %d%% -5.6");
    text.replace(text.find("23:30"), 5, "23:3\xE9"); // a byte above ASCII is that code point
    const auto rows = exportedRows({slot(text.c_str())}, wholePeriodAllSets());
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(u"%s%n%ls", rows[0][12]);
    EXPECT_EQ(u"%d%%", rows[0][18]);
    EXPECT_EQ(u"23:3\u00E9", rows[0][1]);
}

TEST_F(ExportFile, UnitChangesDuringTheExportApplyToLaterRows)
{
    // The third write is the first row (mark, then header and unit rows).
    static int writes;
    writes = 0;
    exportWrite = [](const void* data, std::size_t size, FILE* file) -> std::size_t {
        if (++writes == 3)
            setCurrentUnitSettings({TEMPERATURE_FAHRENHEIT, RAIN_MM, PRESSURE_HPA, WIND_KMH, 1, 0});
        return std::fwrite(data, 1, size, file);
    };
    const std::string bytes = exportBytes({slot(R1), slot(R1)}, wholePeriodAllSets());
    exportWrite = savedWrite;
    EXPECT_NE(std::string::npos, bytes.find(littleEndian(DEFAULT_UNIT_ROW + DEFAULT_R1_ROW + u" 2018-2-28 \t 23:30 \t 1013.2 \t 70.3 ")));
}

// ---- The period ----------------------------------------------------------------------

TEST_F(ExportFile, PeriodFilterIncludesBothEndsAndComparesNumerically)
{
    auto datesOf = [&](const ExportRequest& request) {
        std::vector<std::u16string> dates;
        for (const auto& cells : exportedRows(SMALL_HISTORY, request))
            dates.push_back(cells[0]);
        return dates;
    };
    // 2018-2-31 is accepted as typed; 2018-3-1 lies after it.
    EXPECT_EQ(std::vector<std::u16string>{u"2018-2-28"}, datesOf(period(L"2018-2-28", L"2018-2-31")));
    EXPECT_EQ(std::vector<std::u16string>{u"2018-3-1"}, datesOf(period(L"2018-2-31", L"2018-3-1")));
    EXPECT_EQ((std::vector<std::u16string>{u"2018-3-1", u"2018-3-2"}),
              datesOf(period(L"2018-03-01", L"2018-3-2")));
    // Whole period: the date texts in the request are not looked at.
    ExportRequest whole = period(L"", L"x");
    whole.dataSets.wholePeriod = 1;
    EXPECT_EQ(3u, datesOf(whole).size());

    // A start after the end: the header and unit rows alone.
    EXPECT_EQ(fileOf(HEADER_ROW + DEFAULT_UNIT_ROW), exportBytes(SMALL_HISTORY, period(L"2018-3-2", L"2018-2-1")));

    // A damaged record date lies in no period, but in the whole one.
    std::string damaged = R1;
    damaged.replace(damaged.find("2018-2-28"), 9, "2018/2/28");
    EXPECT_TRUE(exportedRows({slot(damaged.c_str())}, period(L"2000-1-1", L"2099-1-1")).empty());
    EXPECT_EQ(1u, exportedRows({slot(damaged.c_str())}, whole).size());
}

// ---- Failures and cancelling -------------------------------------------------------------

TEST_F(ExportFile, FullDeviceIsAFailureEvenWhenOnlyTheCloseNoticesIt)
{
#ifdef _WIN32
    // Wine would reach the host's device through drive Z:, but not as a
    // device that fails its writes.
    GTEST_SKIP() << "a Linux device";
#endif
    FILE* full = std::fopen("/dev/full", "wb");
    if (!full)
        GTEST_SKIP() << "no /dev/full here";
    const LinkFlag notCancelled{0};
    // A few rows stay in the stream's buffer until the close.
    EXPECT_EQ(ExportOutcome::failed,
              writeExportFile(full, SMALL_HISTORY.data(), SMALL_HISTORY.size(), wholePeriodAllSets(),
                              notCancelled));
    full = std::fopen("/dev/full", "wb");
    ASSERT_NE(nullptr, full);
    const std::vector<StationRecord> many(5000, slot(R1));
    EXPECT_EQ(ExportOutcome::failed,
              writeExportFile(full, many.data(), many.size(), wholePeriodAllSets(), notCancelled));
}

TEST_F(ExportFile, ReadOnlyStreamIsAFailure)
{
    FILE* create = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, create);
    std::fclose(create);
    FILE* readOnly = std::fopen(path.c_str(), "rb");
    ASSERT_NE(nullptr, readOnly);
    const LinkFlag notCancelled{0};
    EXPECT_EQ(ExportOutcome::failed, writeExportFile(readOnly, SMALL_HISTORY.data(), SMALL_HISTORY.size(),
                                                     wholePeriodAllSets(), notCancelled));
}

TEST_F(ExportFile, FailedWriteStopsTheExport)
{
    static int writes;
    static int failAt;
    exportWrite = [](const void* data, std::size_t size, FILE* file) -> std::size_t {
        if (++writes == failAt)
            return size / 2;
        return std::fwrite(data, 1, size, file);
    };
    const LinkFlag notCancelled{0};
    const std::vector<StationRecord> rows(10, slot(R1));
    // The mark, the header rows, a row in the middle.
    for (int fail : {1, 2, 6}) {
        writes = 0;
        failAt = fail;
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        EXPECT_EQ(ExportOutcome::failed, writeExportFile(file, rows.data(), rows.size(), wholePeriodAllSets(),
                                                         notCancelled))
            << "failing write " << fail;
        EXPECT_EQ(fail, writes) << "nothing is written after a failure";
    }
}

TEST_F(ExportFile, CancelIsTestedAfterEachSlot)
{
    const LinkFlag cancelled{1};
    const std::vector<StationRecord> slots = {slot(R1), slot(R2), slot(R4)};
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(ExportOutcome::cancelled,
              writeExportFile(file, slots.data(), slots.size(), wholePeriodAllSets(), cancelled));
    // The caller deletes the file; what reached it is the first slot only.
    EXPECT_EQ(fileOf(HEADER_ROW + DEFAULT_UNIT_ROW + DEFAULT_R1_ROW), readAll(path));
}

// The cross clicked while the last row goes out, or with no row to write:
// the file is complete, but the user was told it was cancelled.
TEST_F(ExportFile, CancelWithTheLastRowOrBeforeAnEmptyFileStillCancels)
{
    static LinkFlag cancel{0};
    static int writes;
    static int cancelAt;
    exportWrite = [](const void* data, std::size_t size, FILE* file) -> std::size_t {
        if (++writes == cancelAt)
            cancel = 1;
        return std::fwrite(data, 1, size, file);
    };
    const std::vector<StationRecord> slots = {slot(R1), slot(R2)};
    writes = 0;
    cancelAt = 0;
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(ExportOutcome::written, writeExportFile(file, slots.data(), slots.size(), wholePeriodAllSets(), cancel));
    const int allWrites = writes;

    writes = 0;
    cancelAt = allWrites; // the last row's last write
    file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(ExportOutcome::cancelled, writeExportFile(file, slots.data(), slots.size(), wholePeriodAllSets(), cancel));

    cancel = 1;
    file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(ExportOutcome::cancelled, writeExportFile(file, slots.data(), 0, wholePeriodAllSets(), cancel));
    cancel = 0;
}

// ---- Repeated values ---------------------------------------------------------------------

// The whole-file writer remembers conversions it has made; the row writer
// alone converts every value afresh. Both must give the same bytes, for
// thousands of repeating and colliding values, dash texts, long texts, and
// every unit code in and out of range.
TEST_F(ExportFile, RememberedConversionsMatchFreshOnes)
{
    StationModel model;
    initStationModel(model, 11, 200, 45);
    model.channelMask = (1u << SIM_CHANNEL_COUNT) - 1;
    std::vector<StationRecord> slots;
    const std::int64_t start = minutesFromCivil({2019, 6, 1, 0, 0});
    for (int i = 0; i < 6000; ++i) {
        Observation observation;
        observeStation(model, start + i * 30, observation);
        char line[STATION_RECORD_SIZE];
        formatObservationLine(observation, line, sizeof line);
        slots.push_back(slot(line));
    }
    std::string odd = R1;
    odd.replace(odd.find("1013.2"), 6, "1013.2500");  // longer than the memo keeps
    odd.replace(odd.find(" 36 "), 4, " 1e300 ");     // converts to nothing that fits
    slots.push_back(slot(odd.c_str()));
    slots.push_back(slot(R1));
    slots.push_back(slot(odd.c_str()));

    const UnitSettings settings[] = {IMPERIAL_DEGREES, MERCURY_ABSOLUTE, KNOTS_HPA_ABSOLUTE,
                                     DEFAULT_UNIT_SETTINGS, {1, 1, 2, 1, 1, 0}, {7, 9, 200, 17, 3, 4}};
    for (const UnitSettings& units : settings) {
        const std::string remembered = exportBytes(slots, wholePeriodAllSets(), units);
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        ASSERT_EQ(1, writeExportHeader(file, units));
        for (const StationRecord& record : slots)
            ASSERT_EQ(1, writeExportRow(record, file, wholePeriodAllSets(), units));
        ASSERT_EQ(0, std::fclose(file));
        const std::string fresh = readAll(path);
        EXPECT_GT(fresh.size(), 6000u * 200u);
        EXPECT_TRUE(remembered == fresh) << "units " << int(units.temperatureUnit) << int(units.rainUnit)
                                         << int(units.pressureUnit) << int(units.windUnit);
    }
}

} // namespace
