#include "link/crc16.h"

std::uint16_t crc16(const std::uint8_t* buffer, std::int16_t start, std::int16_t end)
{
    std::uint32_t crc = 0;
    for (std::int32_t i = start; i < end; ++i) {
        crc ^= static_cast<std::uint32_t>(buffer[i]) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            if (crc & 0x8000)
                crc = (crc << 1) ^ 0x1021;
            else
                crc <<= 1;
        }
    }
    return static_cast<std::uint16_t>(crc & 0xFFFF);
}
