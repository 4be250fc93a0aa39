// The 9-byte command reports written to the console: report id 0, start mark
// 0xFC, command code, three parameter bytes, crc16 over bytes 1..5, end mark
// 0xFD. The checksum is high byte first, except in the two clock commands.
#pragma once

#include <array>
#include <cstdint>

constexpr std::size_t COMMAND_REPORT_SIZE = 9;
using CommandReport = std::array<std::uint8_t, COMMAND_REPORT_SIZE>;

extern const CommandReport CMD_READ_CURRENT;
extern const CommandReport CMD_READ_HISTORY;
extern const CommandReport CMD_STOP;
extern const CommandReport CMD_ACK;
extern const CommandReport CMD_NAK;
extern const CommandReport CMD_RECORD_ACK;
extern const CommandReport CMD_RECORD_NAK;

// Command codes of the two clock commands (byte 2).
constexpr std::uint8_t CMD_SET_DATE_CODE = 0x08;
constexpr std::uint8_t CMD_SET_TIME_CODE = 0x09;

// A local date and time as the clock exchange needs it.
struct ClockTime {
    int year;   // four digits; the command carries year % 100
    int month;  // 1..12
    int day;    // 1..31
    int hour;   // 0..23
    int minute;
    int second;
};

// CMD_SET_DATE (00 FC 08 YY MM DD lo hi FD) and CMD_SET_TIME
// (00 FC 09 hh mm ss lo hi FD), built for the given time.
CommandReport makeSetDateCommand(const ClockTime& now);
CommandReport makeSetTimeCommand(const ClockTime& now);
