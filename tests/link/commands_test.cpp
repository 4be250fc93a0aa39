#include <gtest/gtest.h>

#include "link/commands.h"
#include "link/crc16.h"

TEST(Commands, ConstantReportsAreTheConsoleBytes)
{
    struct Expected {
        const char* name;
        const CommandReport& report;
        CommandReport bytes;
    };
    const Expected table[] = {
        {"CMD_READ_CURRENT", CMD_READ_CURRENT, {0x00, 0xFC, 0x03, 0x00, 0x00, 0x00, 0x2F, 0xA1, 0xFD}},
        {"CMD_READ_HISTORY", CMD_READ_HISTORY, {0x00, 0xFC, 0x05, 0x00, 0x00, 0x00, 0x08, 0x38, 0xFD}},
        {"CMD_STOP", CMD_STOP, {0x00, 0xFC, 0x07, 0x00, 0x00, 0x00, 0xE5, 0x50, 0xFD}},
        {"CMD_ACK", CMD_ACK, {0x00, 0xFC, 0xD4, 0x01, 0x00, 0x00, 0xE1, 0xBF, 0xFD}},
        {"CMD_NAK", CMD_NAK, {0x00, 0xFC, 0xD4, 0x02, 0x00, 0x00, 0xB8, 0xEF, 0xFD}},
        {"CMD_RECORD_ACK", CMD_RECORD_ACK, {0x00, 0xFC, 0xD5, 0x01, 0x00, 0x00, 0x97, 0x0B, 0xFD}},
        {"CMD_RECORD_NAK", CMD_RECORD_NAK, {0x00, 0xFC, 0xD5, 0x02, 0x00, 0x00, 0xCE, 0x5B, 0xFD}},
    };
    for (const Expected& e : table) {
        EXPECT_EQ(e.bytes, e.report) << e.name;
        // The constants carry the checksum high byte first.
        const std::uint16_t crc = crc16(e.report.data(), 1, 6);
        EXPECT_EQ(crc >> 8, e.report[6]) << e.name;
        EXPECT_EQ(crc & 0xFF, e.report[7]) << e.name;
    }
}

TEST(Commands, ClockCommandsCarryLocalTimeWithChecksumLowByteFirst)
{
    const ClockTime now{2026, 3, 7, 9, 5, 30};
    const CommandReport date = makeSetDateCommand(now);
    const CommandReport time = makeSetTimeCommand(now);

    const CommandReport dateHead{0x00, 0xFC, 0x08, 0x1A, 0x03, 0x07};
    const CommandReport timeHead{0x00, 0xFC, 0x09, 0x09, 0x05, 0x1E};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(dateHead[i], date[i]) << "date byte " << i;
        EXPECT_EQ(timeHead[i], time[i]) << "time byte " << i;
    }
    for (const CommandReport& report : {date, time}) {
        const std::uint16_t crc = crc16(report.data(), 1, 6);
        EXPECT_EQ(crc & 0xFF, report[6]);
        EXPECT_EQ(crc >> 8, report[7]);
        EXPECT_EQ(0xFD, report[8]);
    }
    EXPECT_EQ(0, makeSetDateCommand(ClockTime{2100, 12, 31, 23, 59, 59})[3]); // year % 100
}
