// The 16-bit checksum carried by every report to and from the console.
#pragma once

#include <cstdint>

// CRC-16 with polynomial 0x1021, initial value 0, most significant bit first,
// no reflection and no final XOR (the XMODEM parameter set: "123456789" gives
// 0x31C3). Covers buffer[start] up to but not including buffer[end]; an empty
// or inverted range gives 0.
std::uint16_t crc16(const std::uint8_t* buffer, std::int16_t start, std::int16_t end);
