// Where things stand in the console's 65-byte input reports (report id
// first), shared by the reader and by the simulator that writes them.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr std::size_t INPUT_REPORT_SIZE = 65;
constexpr std::size_t MAX_PAYLOAD = 54; // bytes 8..61

constexpr std::size_t KIND_BYTE = 1;      // message kind
constexpr std::size_t SEQUENCE_BYTE = 6;  // high nibble packet count, low nibble packet number
constexpr std::size_t LENGTH_BYTE = 7;    // payload length
constexpr std::size_t PAYLOAD_START = 8;
constexpr std::size_t CRC_HIGH_BYTE = 62; // crc16 over bytes 1..61
constexpr std::size_t CRC_LOW_BYTE = 63;

// Message kinds.
constexpr std::uint8_t KIND_OBSERVATION = 0xFE;
constexpr std::uint8_t KIND_STATUS = 0xFA;
constexpr std::uint8_t KIND_UPLOAD_WU = 0xFB;
constexpr std::uint8_t KIND_UPLOAD_WC = 0xF1;

// Status code (byte 2 of a 0xFA report) with which the console asks for the
// PC clock.
constexpr std::uint8_t STATUS_CLOCK_REQUEST = 3;
