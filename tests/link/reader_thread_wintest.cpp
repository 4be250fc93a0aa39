// The reader thread against a console played over a real message-mode pipe:
// what reaches the windows, what is answered, and how the thread ends.
#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

#include "link/commands.h"
#include "link/console_option.h"
#include "link/crc16.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/report_reader.h"
#include "link/station_device_win.h"
#include "link/station_link_win.h"
#include "tests/support/console_double_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

class ReaderThreadTest : public ::testing::Test {
protected:
    static constexpr std::size_t SLOTS = 1001;

    // Connects as the main window does; every test starts after the two
    // commands of a connection, which are checked here.
    void SetUp() override
    {
        const std::wstring name = uniquePipeName(L"reader");
        ASSERT_TRUE(openConsoleDouble(console, name));
        std::wcsncpy(consolePath, name.c_str(), CONSOLE_PATH_SIZE - 1);
        dashboard = createRecorderWindow(&dashboardLog);
        statusWindow = createRecorderWindow(&statusLog);
        ASSERT_NE(nullptr, dashboard);
        ASSERT_NE(nullptr, statusWindow);
        statusBar = statusWindow;
        transferCancelled = 0;
        historyActive = 0;
        historyTotal = 0;
        historyComplete = 0;
        historyRequested = HISTORY_REQUESTED; // as an export start leaves it
        slots.assign(SLOTS, StationRecord{});
        setReaderHistory(slots.data(), slots.size(), exportPath);

        stationDevice = new StationDevice;
        ASSERT_TRUE(stationDevice->openStation());
        ASSERT_TRUE(awaitProgram(console, WAIT_MS));
        stationConnected(dashboard);
        CommandReport first{};
        CommandReport second{};
        ASSERT_TRUE(receiveCommand(console, first, WAIT_MS));
        ASSERT_TRUE(receiveCommand(console, second, WAIT_MS));
        EXPECT_EQ(CMD_STOP, first);
        EXPECT_EQ(CMD_READ_CURRENT, second);
    }

    void TearDown() override
    {
        EXPECT_TRUE(releaseStation(WAIT_MS));
        deviceReady = 0;
        statusBar = nullptr;
        setReaderHistory(nullptr, 0, nullptr);
        consolePath[0] = 0;
        closeConsoleDouble(console);
        DestroyWindow(dashboard);
        DestroyWindow(statusWindow);
    }

    bool awaitDashboard(UINT message, std::size_t count = 1)
    {
        return pumpUntil([&] { return dashboardLog.countOf(message) >= count; }, WAIT_MS);
    }

    ConsoleDouble console;
    MessageLog dashboardLog;
    MessageLog statusLog;
    HWND dashboard = nullptr;
    HWND statusWindow = nullptr;
    std::vector<StationRecord> slots;
    wchar_t exportPath[260] = L"C:\\weather\\history.csv";
};

std::vector<CommandReport> repeated(const CommandReport& command, std::size_t count)
{
    return std::vector<CommandReport>(count, command);
}

TEST_F(ReaderThreadTest, LiveObservationReachesTheTargetAfterAnAckPerPacket)
{
    const std::string line = observationText(5);
    const EncodedMessage message = encodeText(KIND_OBSERVATION, observationHeader(0, 0), line);
    ASSERT_EQ(3u, message.count);
    std::vector<CommandReport> answers;
    ASSERT_TRUE(sendAnswered(console, message, answers, WAIT_MS));
    EXPECT_EQ(repeated(CMD_RECORD_ACK, 3), answers);

    ASSERT_TRUE(awaitDashboard(WM_LIVE_RECORD));
    EXPECT_EQ(std::vector<std::string>{line}, dashboardLog.textsOf(WM_LIVE_RECORD));
    EXPECT_TRUE(statusLog.messages.empty());

    // The buffer is reused: a second observation arrives whole, not mixed
    // with the first.
    const std::string next = observationText(6).substr(0, 120);
    answers.clear();
    ASSERT_TRUE(sendAnswered(console, encodeText(KIND_OBSERVATION, observationHeader(0, 0), next),
                             answers, WAIT_MS));
    ASSERT_TRUE(awaitDashboard(WM_LIVE_RECORD, 2));
    EXPECT_EQ(next, dashboardLog.textsOf(WM_LIVE_RECORD)[1]);
}

TEST_F(ReaderThreadTest, UploadTextsReachTheTargetAfterAnAck)
{
    // Weather Underground's text takes two packets, Weathercloud's one.
    const std::string wu = "ID=KXX1&PASSWORD=&dateutc=now&tempf=70.3&humidity=45&baromin=29.92";
    const std::string wc = "wid/abc/key/def/temp/214/hum/45";
    const EncodedMessage wuMessage = encodeText(KIND_UPLOAD_WU, observationHeader(0, 0), wu);
    const EncodedMessage wcMessage = encodeText(KIND_UPLOAD_WC, observationHeader(0, 0), wc);
    ASSERT_EQ(2u, wuMessage.count);
    ASSERT_EQ(1u, wcMessage.count);
    std::vector<CommandReport> answers;
    ASSERT_TRUE(sendAnswered(console, wuMessage, answers, WAIT_MS));
    ASSERT_TRUE(sendAnswered(console, wcMessage, answers, WAIT_MS));
    EXPECT_EQ(repeated(CMD_ACK, 3), answers);
    ASSERT_TRUE(awaitDashboard(WM_FRAME_F1));
    EXPECT_EQ(std::vector<std::string>{wu}, dashboardLog.textsOf(WM_FRAME_FB));
    EXPECT_EQ(std::vector<std::string>{wc}, dashboardLog.textsOf(WM_FRAME_F1));
}

TEST_F(ReaderThreadTest, DamagedPacketIsRejectedAndItsResendAccepted)
{
    const std::string line = observationText(9);
    const EncodedMessage message = encodeText(KIND_OBSERVATION, observationHeader(0, 0), line);
    ASSERT_EQ(3u, message.count);
    EncodedReport damaged = message.reports[1];
    damageChecksum(damaged);

    CommandReport answer{};
    ASSERT_TRUE(sendReport(console, message.reports[0], WAIT_MS));
    ASSERT_TRUE(receiveCommand(console, answer, WAIT_MS));
    EXPECT_EQ(CMD_RECORD_ACK, answer);
    ASSERT_TRUE(sendReport(console, damaged, WAIT_MS));
    ASSERT_TRUE(receiveCommand(console, answer, WAIT_MS));
    EXPECT_EQ(CMD_RECORD_NAK, answer);
    for (std::size_t i = 1; i < 3; ++i) {
        ASSERT_TRUE(sendReport(console, message.reports[i], WAIT_MS));
        ASSERT_TRUE(receiveCommand(console, answer, WAIT_MS));
        EXPECT_EQ(CMD_RECORD_ACK, answer);
    }
    ASSERT_TRUE(awaitDashboard(WM_LIVE_RECORD));
    EXPECT_EQ(std::vector<std::string>{line}, dashboardLog.textsOf(WM_LIVE_RECORD));
}

TEST_F(ReaderThreadTest, HistoryOfAThousandRecordsFillsTheSlotsInOrder)
{
    constexpr int TOTAL = 1000;
    std::size_t acks = 0;
    for (int number = 1; number <= TOTAL; ++number) {
        std::vector<CommandReport> answers;
        const EncodedMessage record =
            encodeText(KIND_OBSERVATION, observationHeader(TOTAL, static_cast<std::uint16_t>(number)),
                       observationText(number));
        ASSERT_TRUE(sendAnswered(console, record, answers, WAIT_MS)) << "record " << number;
        for (const CommandReport& answer : answers)
            acks += answer == CMD_RECORD_ACK;
    }
    ASSERT_TRUE(awaitDashboard(WM_HISTORY_DONE));
    ASSERT_TRUE(pumpUntil([&] { return statusLog.countOf(WM_HISTORY_PROGRESS) >= TOTAL; }, WAIT_MS));

    EXPECT_EQ(3u * TOTAL, acks);
    EXPECT_EQ(std::vector<LPARAM>{TOTAL}, statusLog.lParamsOf(WM_HISTORY_TOTAL));
    ASSERT_EQ(WM_HISTORY_TOTAL, statusLog.messages.front().message);
    const std::vector<LPARAM> progress = statusLog.lParamsOf(WM_HISTORY_PROGRESS);
    ASSERT_EQ(static_cast<std::size_t>(TOTAL), progress.size());
    for (int i = 0; i < TOTAL; ++i)
        ASSERT_EQ(i + 1, progress[i]) << "progress message " << i;
    EXPECT_EQ(1u, dashboardLog.countOf(WM_HISTORY_DONE));
    EXPECT_EQ(0u, dashboardLog.countOf(WM_LIVE_RECORD));
    EXPECT_EQ(1u, historyComplete.load());

    for (int i = 0; i < TOTAL; ++i)
        ASSERT_STREQ(observationText(i + 1).c_str(), slots[i].text) << "slot " << i;
    EXPECT_EQ(0, slots[TOTAL].text[0]);
}

// The last record's last packet never comes and the console falls silent:
// the download completes once it has been quiet long enough.
TEST_F(ReaderThreadTest, LastRecordWithoutItsTailCompletesTheDownloadAfterTheQuietTime)
{
    std::vector<CommandReport> answers;
    ASSERT_TRUE(sendAnswered(console, encodeText(KIND_OBSERVATION, observationHeader(2, 1), observationText(1)),
                             answers, WAIT_MS));
    EncodedMessage second = encodeText(KIND_OBSERVATION, observationHeader(2, 2), observationText(2));
    ASSERT_GE(second.count, 2u);
    --second.count;
    // Taken before the last reports go out: the reader's quiet time starts
    // after it, so the bound below holds however slowly either thread runs.
    const ULONGLONG beforeLastReport = GetTickCount64();
    ASSERT_TRUE(sendAnswered(console, second, answers, WAIT_MS));

    ASSERT_TRUE(pumpUntil([&] { return dashboardLog.countOf(WM_HISTORY_DONE) >= 1; }, HISTORY_QUIET_MS + WAIT_MS));
    EXPECT_GE(GetTickCount64() - beforeLastReport, HISTORY_QUIET_MS) << "completed before the console was quiet";
    EXPECT_EQ((std::vector<LPARAM>{1, 2}), statusLog.lParamsOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_STREQ(observationText(1).c_str(), slots[0].text);
    EXPECT_EQ(0, slots[1].text[0]);
}

TEST_F(ReaderThreadTest, ClockRequestIsAnsweredWithDateThenTime)
{
    dashboardLog.react = [](UINT message, WPARAM, LPARAM) {
        if (message == WM_CLOCK_REQUEST)
            sendClock();
    };
    SYSTEMTIME before;
    GetLocalTime(&before);
    std::vector<CommandReport> answers;
    ASSERT_TRUE(sendAnswered(console, encodeText(KIND_STATUS, statusHeader(3, 0), ""), answers,
                             WAIT_MS));
    EXPECT_EQ(repeated(CMD_ACK, 1), answers);
    CommandReport date{};
    CommandReport time{};
    ASSERT_TRUE(receiveCommand(console, date, WAIT_MS));
    ASSERT_TRUE(receiveCommand(console, time, WAIT_MS));
    SYSTEMTIME after;
    GetLocalTime(&after);

    const std::uint16_t dateCrc = crc16(date.data(), 1, 6);
    const CommandReport expectedDate = {0x00, 0xFC, 0x08,
                                        static_cast<std::uint8_t>(after.wYear % 100),
                                        static_cast<std::uint8_t>(after.wMonth),
                                        static_cast<std::uint8_t>(after.wDay),
                                        static_cast<std::uint8_t>(dateCrc & 0xFF),
                                        static_cast<std::uint8_t>(dateCrc >> 8),
                                        0xFD};
    if (before.wDay == after.wDay) {
        EXPECT_EQ(expectedDate, date);
    }

    // Low checksum byte first in both clock commands.
    const std::uint16_t timeCrc = crc16(time.data(), 1, 6);
    EXPECT_EQ((std::array<std::uint8_t, 3>{0x00, 0xFC, 0x09}),
              (std::array<std::uint8_t, 3>{time[0], time[1], time[2]}));
    EXPECT_EQ(timeCrc & 0xFF, time[6]);
    EXPECT_EQ(timeCrc >> 8, time[7]);
    EXPECT_EQ(0xFD, time[8]);
    const int sent = time[3] * 3600 + time[4] * 60 + time[5];
    const int start = before.wHour * 3600 + before.wMinute * 60 + before.wSecond;
    const int end = after.wHour * 3600 + after.wMinute * 60 + after.wSecond;
    if (start <= end) {
        EXPECT_LE(start, sent);
        EXPECT_GE(end, sent);
    }
}

// How soon the reader notices readerStop, and how little it costs while a
// vanished console fails every read, is measured by bench/reader_idle_bench.
TEST_F(ReaderThreadTest, ReaderBlockedOnASilentConsoleEndsWhenReaderStopIsSet)
{
    pumpFor(200); // the reader is now waiting in its read
    // Only the flag, as the removal path sets it: nobody wakes the reader.
    readerStop = 1;
    EXPECT_TRUE(awaitReader(WAIT_MS));
}

TEST_F(ReaderThreadTest, ReaderOfAVanishedConsoleEndsWhenReaderStopIsSet)
{
    closeConsoleDouble(console);
    pumpFor(200); // every read now fails at once
    readerStop = 1;
    EXPECT_TRUE(awaitReader(WAIT_MS));
}

TEST_F(ReaderThreadTest, StopReaderHandlesTheMessageTheReaderIsBlockedOn)
{
    // The test thread stops pumping, like a main window busy in its
    // shutdown: the reader stays blocked in SendMessageW to the dashboard.
    const std::string line = observationText(12);
    const EncodedMessage message = encodeText(KIND_OBSERVATION, observationHeader(0, 0), line);
    for (std::size_t i = 0; i < message.count; ++i)
        ASSERT_TRUE(sendReport(console, message.reports[i], WAIT_MS, false));
    // Until the observation waits to be handled here (GetQueueStatus
    // handles nothing).
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    while ((HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) == 0 && GetTickCount64() < deadline)
        Sleep(10);
    ASSERT_NE(0u, HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) << "the reader sent nothing";
    EXPECT_TRUE(dashboardLog.messages.empty());
    EXPECT_TRUE(stopReader(WAIT_MS));
    EXPECT_EQ(std::vector<std::string>{line}, dashboardLog.textsOf(WM_LIVE_RECORD));
}

TEST_F(ReaderThreadTest, ANewConnectionReplacesTheRunningReader)
{
    // Two arrivals in a row (each collection of a console reports one): the
    // second search replaces the handle, and one reader alone answers.
    ConsoleDouble replacement;
    ASSERT_TRUE(openConsoleDouble(replacement, consolePath));
    ASSERT_TRUE(stationDevice->openStation());
    ASSERT_TRUE(awaitProgram(replacement, WAIT_MS));
    stationConnected(dashboard);
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(replacement, command, WAIT_MS));
    EXPECT_EQ(CMD_STOP, command);
    ASSERT_TRUE(receiveCommand(replacement, command, WAIT_MS));
    EXPECT_EQ(CMD_READ_CURRENT, command);

    const std::string line = observationText(21);
    std::vector<CommandReport> answers;
    ASSERT_TRUE(sendAnswered(replacement,
                             encodeText(KIND_OBSERVATION, observationHeader(0, 0), line), answers,
                             WAIT_MS));
    EXPECT_EQ(repeated(CMD_RECORD_ACK, 3), answers);
    ASSERT_TRUE(awaitDashboard(WM_LIVE_RECORD));
    EXPECT_EQ(std::vector<std::string>{line}, dashboardLog.textsOf(WM_LIVE_RECORD));
    EXPECT_FALSE(receiveCommand(replacement, command, 300)) << "an answer too many";
    // The first console lost its program.
    EXPECT_FALSE(receiveCommand(console, command, 300));
    EXPECT_TRUE(releaseStation(WAIT_MS));
    closeConsoleDouble(replacement);
}

} // namespace
