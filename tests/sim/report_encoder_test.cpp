#include <gtest/gtest.h>

#include <string>

#include "link/crc16.h"
#include "sim/report_encoder.h"
#include "tests/link/reader_harness.h"

TEST(ReportEncoder, SplitsPayloadIntoNumberedPacketsWithChecksum)
{
    std::string payload;
    for (int i = 0; i < 60; ++i)
        payload += static_cast<char>('A' + i % 26);
    EncodedMessage m;
    ASSERT_EQ(2u, encodeMessage(0xFE, observationHeader(0x1234, 0xABCD),
                                reinterpret_cast<const std::uint8_t*>(payload.data()),
                                payload.size(), m));
    const std::uint8_t sequences[] = {0x21, 0x22};
    const std::size_t lengths[] = {54, 6};
    for (std::size_t i = 0; i < 2; ++i) {
        const EncodedReport& r = m.reports[i];
        EXPECT_EQ(0xFE, r[1]);
        EXPECT_EQ((std::vector<std::uint8_t>{0x12, 0x34, 0xAB, 0xCD}),
                  std::vector<std::uint8_t>(r.begin() + 2, r.begin() + 6));
        EXPECT_EQ(sequences[i], r[6]);
        EXPECT_EQ(lengths[i], r[7]);
        EXPECT_EQ(payload.substr(i * 54, lengths[i]),
                  std::string(r.begin() + 8, r.begin() + 8 + static_cast<long>(lengths[i])));
        const std::uint16_t crc = crc16(r.data(), 1, 62);
        EXPECT_EQ(crc >> 8, r[62]);
        EXPECT_EQ(crc & 0xFF, r[63]);
    }
    EXPECT_EQ(0, m.reports[1][8 + 6]); // padding after a short payload
}

TEST(ReportEncoder, EmptyPayloadTakesOnePacketAndOversizedPayloadIsRefused)
{
    EncodedMessage m;
    EXPECT_EQ(1u, encodeMessage(0xFA, statusHeader(3, 0), nullptr, 0, m));
    EXPECT_EQ(0x11, m.reports[0][6]);
    const std::string tooLong(ENCODED_MESSAGE_MAX + 1, 'x');
    EXPECT_EQ(0u, encodeMessage(0xFB, ReportHeader{},
                                reinterpret_cast<const std::uint8_t*>(tooLong.data()),
                                tooLong.size(), m));
    EXPECT_EQ(0u, m.count);
}

using EncoderRoundTrip = ReaderTest;

TEST_F(EncoderRoundTrip, EveryMessageSizeComesBackUnchanged)
{
    // Every length across packet boundaries, up to the largest each buffer holds.
    std::string longest;
    for (std::size_t i = 0; i < ENCODED_MESSAGE_MAX; ++i)
        longest.push_back(static_cast<char>(' ' + (i * 7) % 95));
    for (std::size_t size = 55; size <= ENCODED_MESSAGE_MAX; ++size) {
        const std::string text = longest.substr(0, size);
        const bool fitsRecord = size <= STATION_RECORD_SIZE - 1;
        deliveries.clear();
        if (fitsRecord)
            sendLive(text);
        sendMessage(KIND_UPLOAD_WC, ReportHeader{}, text);
        ASSERT_EQ(fitsRecord ? 2u : 1u, deliveries.size()) << size;
        EXPECT_EQ(text, deliveries.back().text) << size;
        if (fitsRecord) {
            EXPECT_EQ(text, deliveries.front().text) << size;
        }
    }
    EXPECT_EQ(commands.size(), countOf(CMD_ACK) + countOf(CMD_RECORD_ACK));
}
