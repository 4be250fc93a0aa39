// Packet sequencing and assembly of multi-packet messages.
#include "tests/link/reader_harness.h"

using ReportAssembly = ReaderTest;

TEST_F(ReportAssembly, SinglePacketUploadTextsAreDeliveredAtOnce)
{
    sendMessage(KIND_UPLOAD_WU, ReportHeader{}, "ID=abc&tempf=70.2");
    sendMessage(KIND_UPLOAD_WC, ReportHeader{}, "wid/xyz/temp/212");
    EXPECT_EQ((std::vector<std::string>{"ID=abc&tempf=70.2"}), textsOf(WM_FRAME_FB));
    EXPECT_EQ((std::vector<std::string>{"wid/xyz/temp/212"}), textsOf(WM_FRAME_F1));
    EXPECT_EQ(2u, countOf(CMD_ACK));
}

TEST_F(ReportAssembly, SinglePacketObservationIsAcknowledgedButNeverDelivered)
{
    sendLive("short line");
    EXPECT_EQ(1u, countOf(CMD_RECORD_ACK));
    EXPECT_TRUE(deliveries.empty());
}

TEST_F(ReportAssembly, MessagesLongerThan255BytesArriveWhole)
{
    // An 8-bit running offset would wrap here and overwrite the start.
    std::string live = observationLine(7);
    while (live.size() < 440)
        live += " 1.0";
    std::string upload;
    for (int i = 0; upload.size() < 800; ++i)
        upload += "&field" + std::to_string(i) + "=" + std::to_string(i * 37);
    sendLive(live);
    sendMessage(KIND_UPLOAD_WU, ReportHeader{}, upload);
    sendMessage(KIND_UPLOAD_WC, ReportHeader{}, upload);
    EXPECT_EQ((std::vector<std::string>{live}), textsOf(WM_LIVE_RECORD));
    EXPECT_EQ((std::vector<std::string>{upload}), textsOf(WM_FRAME_FB));
    EXPECT_EQ((std::vector<std::string>{upload}), textsOf(WM_FRAME_F1));
}

TEST_F(ReportAssembly, RepeatedPacketDropsTheMessageUntilTheNextFirstPacket)
{
    for (std::uint8_t kind : {KIND_OBSERVATION, KIND_UPLOAD_WU}) {
        const std::string text = observationLine(kind);
        EncodedMessage m;
        encodeMessage(kind, ReportHeader{}, reinterpret_cast<const std::uint8_t*>(text.data()),
                      text.size(), m);
        ASSERT_EQ(3u, m.count);
        for (int i : {0, 1, 1, 2})
            send(m.reports[i]);
        EXPECT_EQ(0u, deliveries.size()) << "kind " << int(kind);
        for (int i : {0, 1, 2})
            send(m.reports[i]);
        EXPECT_EQ(1u, deliveries.size()) << "kind " << int(kind);
        deliveries.clear();
    }
    // Dropped packets are acknowledged all the same.
    EXPECT_EQ(7u, countOf(CMD_RECORD_ACK));
    EXPECT_EQ(7u, countOf(CMD_ACK));
}

TEST_F(ReportAssembly, ObservationMustLeaveRoomForItsTerminator)
{
    // 449 text bytes fit the 450-byte slot; 450 would leave no terminator and
    // 486 (nine full packets) would run past it.
    for (std::size_t size : {449u, 450u, 486u})
        sendLive(std::string(size, static_cast<char>('a' + size % 26)));
    const auto texts = textsOf(WM_LIVE_RECORD);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(std::string(449, static_cast<char>('a' + 449 % 26)), texts[0]);
    // A dropped oversized message leaves the reader ready for the next one.
    sendLive(observationLine(2));
    EXPECT_EQ(observationLine(2), textsOf(WM_LIVE_RECORD).back());
}

TEST_F(ReportAssembly, PayloadLengthAboveFiftyFourDropsItsMessageButIsAcknowledged)
{
    const std::string text = observationLine(3);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    for (std::uint8_t kind : {KIND_OBSERVATION, KIND_UPLOAD_WC}) {
        send(encodePacket(kind, ReportHeader{}, 0x31, bytes, 54));
        send(encodePacket(kind, ReportHeader{}, 0x32, bytes + 54, 200)); // length byte lies
        send(encodePacket(kind, ReportHeader{}, 0x33, bytes + 108, 42));
    }
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(3u, countOf(CMD_RECORD_ACK));
    EXPECT_EQ(3u, countOf(CMD_ACK));
    sendLive(text);
    sendMessage(KIND_UPLOAD_WC, ReportHeader{}, text);
    EXPECT_EQ((std::vector<std::string>{text}), textsOf(WM_LIVE_RECORD));
    EXPECT_EQ((std::vector<std::string>{text}), textsOf(WM_FRAME_F1));
}

TEST_F(ReportAssembly, StatusReportsAskForTheClockOrRefuseTheTransfer)
{
    historyRequested = HISTORY_NOT_REQUESTED; // no transfer asked for
    send(encodePacket(KIND_STATUS, statusHeader(3, 0), 0x11, nullptr, 0));
    EXPECT_EQ((std::vector<unsigned>{WM_CLOCK_REQUEST}), messageNumbers());
    EXPECT_EQ(0u, transferCancelled.load());
    send(encodePacket(KIND_STATUS, statusHeader(0, 1), 0x11, nullptr, 0));
    EXPECT_EQ(1u, transferCancelled.load());
    // Unknown kinds are acknowledged and otherwise ignored.
    send(encodePacket(0x42, ReportHeader{}, 0x11, nullptr, 0));
    EXPECT_EQ(3u, countOf(CMD_ACK));
    EXPECT_EQ(1u, deliveries.size());
}
