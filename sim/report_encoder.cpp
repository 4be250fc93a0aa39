#include "sim/report_encoder.h"

#include <cstring>

#include "link/crc16.h"
#include "link/report_layout.h"

ReportHeader observationHeader(std::uint16_t announcedCount, std::uint16_t recordNumber)
{
    return ReportHeader{{static_cast<std::uint8_t>(announcedCount >> 8),
                         static_cast<std::uint8_t>(announcedCount & 0xFF),
                         static_cast<std::uint8_t>(recordNumber >> 8),
                         static_cast<std::uint8_t>(recordNumber & 0xFF)}};
}

ReportHeader noHistoryHeader()
{
    return ReportHeader{{0xFF, 0xFF, 0xFF, 0xFF}};
}

ReportHeader statusHeader(std::uint8_t statusCode, std::uint8_t cancel)
{
    return ReportHeader{{statusCode, cancel, 0, 0}};
}

void sealReport(EncodedReport& report)
{
    const std::uint16_t crc = crc16(report.data(), 1, 62);
    report[CRC_HIGH_BYTE] = static_cast<std::uint8_t>(crc >> 8);
    report[CRC_LOW_BYTE] = static_cast<std::uint8_t>(crc & 0xFF);
}

void damageChecksum(EncodedReport& report)
{
    report[CRC_LOW_BYTE] ^= 0x5A;
}

EncodedReport encodePacket(std::uint8_t kind, ReportHeader header, std::uint8_t sequence,
                           const std::uint8_t* payload, std::size_t length)
{
    EncodedReport report{};
    report[KIND_BYTE] = kind;
    std::memcpy(&report[2], header.bytes, sizeof header.bytes);
    report[SEQUENCE_BYTE] = sequence;
    report[LENGTH_BYTE] = static_cast<std::uint8_t>(length);
    const std::size_t copied = length < ENCODED_PAYLOAD_MAX ? length : ENCODED_PAYLOAD_MAX;
    if (payload && copied > 0)
        std::memcpy(&report[PAYLOAD_START], payload, copied);
    sealReport(report);
    return report;
}

std::size_t encodeMessage(std::uint8_t kind, ReportHeader header, const std::uint8_t* payload,
                          std::size_t length, EncodedMessage& out)
{
    out.count = 0;
    const std::size_t packets =
        length == 0 ? 1 : (length + ENCODED_PAYLOAD_MAX - 1) / ENCODED_PAYLOAD_MAX;
    if (packets > ENCODED_PACKETS_MAX)
        return 0;
    for (std::size_t i = 0; i < packets; ++i) {
        const std::size_t start = i * ENCODED_PAYLOAD_MAX;
        const std::size_t left = length - start;
        const std::size_t size = left < ENCODED_PAYLOAD_MAX ? left : ENCODED_PAYLOAD_MAX;
        const auto sequence = static_cast<std::uint8_t>((packets << 4) | (i + 1));
        out.reports[i] = encodePacket(kind, header, sequence, payload ? payload + start : nullptr,
                                      size);
    }
    out.count = packets;
    return packets;
}
