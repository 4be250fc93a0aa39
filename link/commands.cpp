#include "link/commands.h"

#include "link/crc16.h"

namespace {

constexpr std::uint8_t START_MARK = 0xFC;
constexpr std::uint8_t END_MARK = 0xFD;

// The constant commands carry their checksum high byte first.
constexpr CommandReport constantCommand(std::uint8_t code, std::uint8_t parameter,
                                        std::uint8_t crcHigh, std::uint8_t crcLow)
{
    return CommandReport{0x00, START_MARK, code, parameter, 0x00, 0x00, crcHigh, crcLow, END_MARK};
}

// The console expects the clock commands' checksum low byte first, unlike
// every other command.
CommandReport clockCommand(std::uint8_t code, int a, int b, int c)
{
    CommandReport report{0x00,
                         START_MARK,
                         code,
                         static_cast<std::uint8_t>(a),
                         static_cast<std::uint8_t>(b),
                         static_cast<std::uint8_t>(c),
                         0x00,
                         0x00,
                         END_MARK};
    const std::uint16_t crc = crc16(report.data(), 1, 6);
    report[6] = static_cast<std::uint8_t>(crc & 0xFF);
    report[7] = static_cast<std::uint8_t>(crc >> 8);
    return report;
}

} // namespace

const CommandReport CMD_READ_CURRENT = constantCommand(0x03, 0x00, 0x2F, 0xA1);
const CommandReport CMD_READ_HISTORY = constantCommand(0x05, 0x00, 0x08, 0x38);
const CommandReport CMD_STOP = constantCommand(0x07, 0x00, 0xE5, 0x50);
const CommandReport CMD_ACK = constantCommand(0xD4, 0x01, 0xE1, 0xBF);
const CommandReport CMD_NAK = constantCommand(0xD4, 0x02, 0xB8, 0xEF);
const CommandReport CMD_RECORD_ACK = constantCommand(0xD5, 0x01, 0x97, 0x0B);
const CommandReport CMD_RECORD_NAK = constantCommand(0xD5, 0x02, 0xCE, 0x5B);

CommandReport makeSetDateCommand(const ClockTime& now)
{
    return clockCommand(CMD_SET_DATE_CODE, now.year % 100, now.month, now.day);
}

CommandReport makeSetTimeCommand(const ClockTime& now)
{
    return clockCommand(CMD_SET_TIME_CODE, now.hour, now.minute, now.second);
}
