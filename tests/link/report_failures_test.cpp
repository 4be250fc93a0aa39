// Checksum failures: rejections, the give-up at the tenth, and reports that
// are recognised whatever their checksum.
#include "tests/link/reader_harness.h"

using ReportFailures = ReaderTest;

namespace {

EncodedReport damaged(std::uint8_t kind, ReportHeader header, std::uint8_t sequence)
{
    EncodedReport report = encodePacket(kind, header, sequence, nullptr, 0);
    damageChecksum(report);
    return report;
}

} // namespace

TEST_F(ReportFailures, ObservationPacketIsRejectedNineTimesAndGivenUpAtTheTenth)
{
    const EncodedReport bad = damaged(KIND_OBSERVATION, observationHeader(0, 0), 0x21);
    for (int i = 0; i < 9; ++i)
        send(bad);
    EXPECT_EQ(9u, countOf(CMD_RECORD_NAK));
    EXPECT_EQ(0u, countOf(CMD_RECORD_ACK));
    send(bad);
    EXPECT_EQ(1u, countOf(CMD_RECORD_ACK));
    // The count starts again after a give-up.
    send(bad);
    EXPECT_EQ(10u, countOf(CMD_RECORD_NAK));
    EXPECT_EQ(commands.size(), countOf(CMD_RECORD_NAK) + countOf(CMD_RECORD_ACK));
}

TEST_F(ReportFailures, IntactPacketResetsTheFailureCount)
{
    const EncodedReport bad = damaged(KIND_OBSERVATION, observationHeader(0, 0), 0x21);
    for (int i = 0; i < 9; ++i)
        send(bad);
    send(encodePacket(KIND_OBSERVATION, observationHeader(0, 0), 0x21, nullptr, 0));
    for (int i = 0; i < 9; ++i)
        send(bad);
    EXPECT_EQ(18u, countOf(CMD_RECORD_NAK));
    EXPECT_EQ(1u, countOf(CMD_RECORD_ACK));
}

TEST_F(ReportFailures, GivingUpLosesTheMessageBeingAssembled)
{
    const std::string line = observationLine(5);
    EncodedMessage m;
    encodeMessage(KIND_OBSERVATION, observationHeader(0, 0),
                  reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), m);
    send(m.reports[0]);
    EncodedReport bad = m.reports[1];
    damageChecksum(bad);
    for (int i = 0; i < 10; ++i)
        send(bad);
    send(m.reports[1]);
    send(m.reports[2]);
    EXPECT_TRUE(deliveries.empty());
}

TEST_F(ReportFailures, LinkFailuresAreCountedApartFromObservationFailures)
{
    const EncodedReport badRecord = damaged(KIND_OBSERVATION, observationHeader(0, 0), 0x21);
    const EncodedReport badStatus = damaged(KIND_STATUS, statusHeader(3, 0), 0x11);
    for (int i = 0; i < 9; ++i) {
        send(badRecord);
        send(badStatus);
    }
    EXPECT_EQ(9u, countOf(CMD_RECORD_NAK));
    EXPECT_EQ(9u, countOf(CMD_NAK));
    send(badStatus);
    EXPECT_EQ(1u, countOf(CMD_ACK));
    EXPECT_EQ(0u, countOf(CMD_RECORD_ACK));
    EXPECT_TRUE(deliveries.empty()); // a damaged clock request is not acted upon
}

TEST_F(ReportFailures, LinkGiveUpAbandonsTheWeatherUndergroundTextOnly)
{
    const std::string text = observationLine(9); // sent as two full packets
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    send(encodePacket(KIND_UPLOAD_WU, ReportHeader{}, 0x21, bytes, 54));
    send(encodePacket(KIND_UPLOAD_WC, ReportHeader{}, 0x21, bytes, 54));
    const EncodedReport bad = damaged(KIND_UPLOAD_WU, ReportHeader{}, 0x22);
    for (int i = 0; i < 10; ++i)
        send(bad);
    send(encodePacket(KIND_UPLOAD_WU, ReportHeader{}, 0x22, bytes + 54, 54));
    send(encodePacket(KIND_UPLOAD_WC, ReportHeader{}, 0x22, bytes + 54, 54));
    EXPECT_TRUE(textsOf(WM_FRAME_FB).empty());
    EXPECT_EQ((std::vector<std::string>{text.substr(0, 108)}), textsOf(WM_FRAME_F1));
}

TEST_F(ReportFailures, NoHistoryIsReportedWhateverTheChecksumAndNeverAnswered)
{
    EncodedReport report = encodePacket(KIND_OBSERVATION, noHistoryHeader(), 0x11, nullptr, 0);
    send(report);
    damageChecksum(report);
    for (int i = 0; i < 12; ++i)
        send(report);
    EXPECT_EQ(std::vector<unsigned>(13, WM_NO_HISTORY), messageNumbers());
    EXPECT_TRUE(commands.empty());
}
