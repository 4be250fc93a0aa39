#include "archive/archive_row.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "tests/support/full_observation.h"

namespace {

RowVerdict read(const std::string& line, ArchiveRow& row, const char*& reason)
{
    return readArchiveRow(line.c_str(), line.size() + 1, row, reason);
}

} // namespace

TEST(ArchiveRow, KeepsTheLineAndReadsValuesInTheConsolesUnits)
{
    const std::string line = joined(fullObservation());
    ArchiveRow row;
    const char* reason = nullptr;
    ASSERT_EQ(read(line, row, reason), RowVerdict::accepted) << reason;
    EXPECT_STREQ(row.time, "2026-03-07T09:15");
    EXPECT_EQ(std::string(row.line, row.lineLength), line);
    // The double of the text, not of the float the dashboard reads.
    EXPECT_EQ(row.value[StationFields::outdoorTemp], -3.5);
    EXPECT_EQ(row.value[StationFields::relPressure], 1013.2);
    EXPECT_EQ(row.value[StationFields::windSpeed], 12.0);
    EXPECT_STREQ(row.windDirPoint, "E");
    // Dash forms and the text fields are no numbers.
    EXPECT_TRUE(std::isnan(row.value[StationFields::ch3Temp]));
    EXPECT_TRUE(std::isnan(row.value[StationFields::ch3Humidity]));
    EXPECT_TRUE(std::isnan(row.value[StationFields::recordDate]));
    EXPECT_TRUE(std::isnan(row.value[StationFields::windDirPoint]));
    // Wind chill is a temperature: its sign is a sign, not a dash form.
    EXPECT_EQ(row.value[StationFields::windChill], -7.0);
}

TEST(ArchiveRow, RefusesWhatTheConsoleNeverSends)
{
    std::vector<std::string> fields = fullObservation();
    std::vector<std::pair<std::string, std::string>> bad;
    bad.emplace_back("35 values", joined(fields, 35));
    bad.emplace_back("37 values", joined(fields) + " 1");
    bad.emplace_back("two spaces", joined(fields).replace(2, 1, "  "));
    bad.emplace_back("trailing space", joined(fields) + " ");
    auto with = [&](int field, const std::string& value) {
        std::vector<std::string> f = fields;
        f[static_cast<std::size_t>(field)] = value;
        return joined(f);
    };
    bad.emplace_back("month 13", with(StationFields::recordDate, "2026-13-07"));
    bad.emplace_back("no time", with(StationFields::recordTime, "--:--"));
    bad.emplace_back("a word", with(StationFields::outdoorTemp, "warm"));
    bad.emplace_back("two points", with(StationFields::relPressure, "10.13.2"));
    bad.emplace_back("non-ASCII", with(StationFields::windDirPoint, "\xC3\x89"));
    bad.emplace_back("a control byte", with(StationFields::windDirPoint, "E\t"));
    for (const auto& [what, line] : bad) {
        ArchiveRow row;
        const char* reason = nullptr;
        EXPECT_EQ(read(line, row, reason), RowVerdict::malformed) << what;
        EXPECT_NE(std::string(reason), "") << what;
    }
    ArchiveRow row;
    const char* reason = nullptr;
    EXPECT_EQ(read("", row, reason), RowVerdict::empty);
    // An unterminated buffer is read only as far as it goes.
    StationRecord full;
    std::memset(full.text, '1', sizeof full.text);
    EXPECT_EQ(readArchiveRow(full.text, sizeof full.text, row, reason), RowVerdict::malformed);
}

TEST(ArchiveRow, ALineComesBackAsTheRecordItWas)
{
    const std::string line = joined(fullObservation());
    StationRecord record;
    std::memset(record.text, 'x', sizeof record.text);
    ASSERT_EQ(recordFromLine(line.data(), line.size(), record), 1);
    EXPECT_STREQ(record.text, line.c_str());
    for (std::size_t i = line.size(); i < STATION_RECORD_SIZE; ++i)
        ASSERT_EQ(record.text[i], '\0') << i;
    const std::string tooLong(STATION_RECORD_SIZE, '1');
    EXPECT_EQ(recordFromLine(tooLong.data(), tooLong.size(), record), 0);
}
