#include "link/crc16.h"

#include <array>

namespace {

// Every report is checked on arrival, so the bitwise loop is run once per
// byte value at compile time and the checksum itself is a table lookup.
constexpr std::array<std::uint16_t, 256> makeTable()
{
    std::array<std::uint16_t, 256> table{};
    for (std::uint32_t byte = 0; byte < 256; ++byte) {
        std::uint32_t crc = byte << 8;
        for (int bit = 0; bit < 8; ++bit) {
            if (crc & 0x8000)
                crc = (crc << 1) ^ 0x1021;
            else
                crc <<= 1;
        }
        table[byte] = static_cast<std::uint16_t>(crc & 0xFFFF);
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> CRC_TABLE = makeTable();

} // namespace

std::uint16_t crc16(const std::uint8_t* buffer, std::int16_t start, std::int16_t end)
{
    std::uint16_t crc = 0;
    for (std::int32_t i = start; i < end; ++i)
        crc = static_cast<std::uint16_t>((crc << 8) ^ CRC_TABLE[((crc >> 8) ^ buffer[i]) & 0xFF]);
    return crc;
}
