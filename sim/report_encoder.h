// Builds the console's 65-byte input reports: what the console simulator
// sends and what the link tests replay.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::size_t ENCODED_REPORT_SIZE = 65;
constexpr std::size_t ENCODED_PAYLOAD_MAX = 54;  // bytes 8..61 of a report
constexpr std::size_t ENCODED_PACKETS_MAX = 15;  // the sequence nibbles count to 15
constexpr std::size_t ENCODED_MESSAGE_MAX = ENCODED_PAYLOAD_MAX * ENCODED_PACKETS_MAX;

using EncodedReport = std::array<std::uint8_t, ENCODED_REPORT_SIZE>;

// Bytes 2..5 of a report, the same in every packet of one message.
struct ReportHeader {
    std::uint8_t bytes[4];
};

// 0xFE: live observation (count 0) or history record `recordNumber` of
// `announcedCount`, both big-endian.
ReportHeader observationHeader(std::uint16_t announcedCount, std::uint16_t recordNumber);
// 0xFE "the console holds no history": bytes 2..5 all 0xFF.
ReportHeader noHistoryHeader();
// 0xFA: status code in byte 2 (3 asks for the PC clock); cancel = 1 refuses a
// history transfer.
ReportHeader statusHeader(std::uint8_t statusCode, std::uint8_t cancel);

struct EncodedMessage {
    EncodedReport reports[ENCODED_PACKETS_MAX];
    std::size_t count;
};

// Splits `payload` into packets of at most 54 bytes (an empty payload still
// takes one packet) and writes one report per packet: report id 0, kind,
// header, sequence byte (high nibble packet count, low nibble packet number
// from 1), payload length, payload, zero padding, crc16 over bytes 1..61 with
// the high byte at 62 and the low byte at 63. Returns the number of reports,
// or 0 (out.count 0) when the payload needs more than 15 packets. The
// program never takes a single-packet 0xFE message as a whole observation, so
// observation lines must be longer than 54 bytes.
std::size_t encodeMessage(std::uint8_t kind, ReportHeader header, const std::uint8_t* payload,
                          std::size_t length, EncodedMessage& out);

// One report with the sequence byte and payload given as they are, for
// packets a well-behaved console would not send (out of order, wrong count).
// `length` is written to byte 7 as given but at most 54 bytes are copied.
EncodedReport encodePacket(std::uint8_t kind, ReportHeader header, std::uint8_t sequence,
                           const std::uint8_t* payload, std::size_t length);

// Recomputes bytes 62 and 63 after a report was edited.
void sealReport(EncodedReport& report);

// Spoils the checksum, as a transmission error would.
void damageChecksum(EncodedReport& report);
