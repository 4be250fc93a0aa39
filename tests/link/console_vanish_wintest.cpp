// A console path whose pipe breaks sends no device notification: the
// reader itself must tell the main window, once, so the program does not
// go on showing "connected". A HID console is left to WM_DEVICECHANGE.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "link/commands.h"
#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "link/station_link_win.h"
#include "tests/support/console_double_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;
// Longer than READER_FAILED_READS_LIMIT paused reads: a report for a HID
// console would have come by then.
constexpr DWORD QUIET_MS = 1500;

class ConsoleVanish : public ::testing::Test {
protected:
    void SetUp() override
    {
        pipeName = uniquePipeName(L"vanish");
        mainWindow = createRecorderWindow(&mainLog);
        dashboard = createRecorderWindow(&dashboardLog);
        ASSERT_NE(nullptr, mainWindow);
        ASSERT_NE(nullptr, dashboard);
        // The main window's removal path: the reader is told to stop.
        mainLog.react = [](UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_STATION_CONNECTION && wParam == 5)
                stationRemoved();
        };
        connectionReceiver = mainWindow;
        stationDevice = new StationDevice;
    }

    void TearDown() override
    {
        EXPECT_TRUE(releaseStation(WAIT_MS));
        closeConsoleDouble(console);
        connectionReceiver = nullptr;
        consolePath[0] = 0;
        DestroyWindow(mainWindow);
        DestroyWindow(dashboard);
    }

    // Connects through the console path, as at start-up.
    void connectConsolePath()
    {
        std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
        ASSERT_TRUE(openConsoleDouble(console, pipeName));
        ASSERT_TRUE(stationDevice->openStation());
        ASSERT_TRUE(awaitProgram(console, WAIT_MS));
        stationConnected(dashboard);
        CommandReport command{};
        ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
        ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    }

    std::size_t removals() const { return mainLog.countOf(WM_STATION_CONNECTION); }

    // Once the reader has ended, all it ever posted is queued: handling the
    // queue shows every report it made.
    void handleWhatTheEndedReaderPosted() { pumpFor(0); }

    std::wstring pipeName;
    ConsoleDouble console;
    MessageLog mainLog;
    MessageLog dashboardLog;
    HWND mainWindow = nullptr;
    HWND dashboard = nullptr;
};

TEST_F(ConsoleVanish, BrokenPipeIsReportedOnceAsARemoval)
{
    connectConsolePath();
    ASSERT_FALSE(HasFatalFailure());
    closeConsoleDouble(console);
    ASSERT_TRUE(pumpUntil([&] { return removals() >= 1; }, WAIT_MS)) << "the broken pipe went unnoticed";
    // Tagged with the reader's number, so a late report can be told apart.
    EXPECT_EQ(std::vector<LPARAM>{readerGeneration()}, mainLog.lParamsOf(WM_STATION_CONNECTION));
    EXPECT_EQ(5u, mainLog.messages[0].wParam);
    // The removal path stopped the reader: it ends without being waited on.
    ASSERT_TRUE(awaitReader(WAIT_MS));
    handleWhatTheEndedReaderPosted();
    EXPECT_EQ(1u, removals());
}

// Posted, not sent: a main thread blocked waiting for the reader (which
// dispatches no posted messages) must not deadlock with it.
TEST_F(ConsoleVanish, RemovalIsPostedSoAWaitingMainThreadIsNotBlocked)
{
    connectConsolePath();
    ASSERT_FALSE(HasFatalFailure());
    closeConsoleDouble(console);
    // Only sent messages are handled here (PeekMessageW handles them before
    // it looks at the queue): a sent removal would run the recorder, a
    // posted one waits in the queue.
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    MSG queued;
    bool posted = false;
    while (!(posted = PeekMessageW(&queued, mainWindow, WM_STATION_CONNECTION, WM_STATION_CONNECTION,
                                   PM_NOREMOVE))
           && removals() == 0 && GetTickCount64() < deadline)
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_POSTMESSAGE | QS_SENDMESSAGE, 0);
    EXPECT_EQ(0u, removals()) << "the removal was sent";
    ASSERT_TRUE(posted) << "no removal came";
    EXPECT_TRUE(pumpUntil([&] { return removals() >= 1; }, WAIT_MS));
    EXPECT_EQ(1u, removals());
}

// A handle that fails every read without naming the console gone (here a
// pipe end opened without read access) counts as gone all the same.
TEST_F(ConsoleVanish, HandleThatFailsEveryReadIsAlsoARemoval)
{
    std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
    ASSERT_TRUE(openConsoleDouble(console, pipeName));
    stationDevice->ioHandle = CreateFileW(pipeName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, stationDevice->ioHandle);
    deviceReady = 1;
    ASSERT_EQ(1, startReader(dashboard));
    ASSERT_TRUE(pumpUntil([&] { return removals() >= 1; }, WAIT_MS));
    // The removal path stopped the reader.
    ASSERT_TRUE(awaitReader(WAIT_MS));
    handleWhatTheEndedReaderPosted();
    EXPECT_EQ(1u, removals());
    EXPECT_EQ(0u, dashboardLog.messages.size());
}

// The same broken pipe, reached as a HID console would be (no console
// path): its removal comes from the system, so the reader only pauses.
TEST_F(ConsoleVanish, HidConsoleLeavesRemovalToTheSystem)
{
    ASSERT_TRUE(openConsoleDouble(console, pipeName));
    stationDevice->ioHandle = CreateFileW(pipeName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, stationDevice->ioHandle);
    ASSERT_TRUE(awaitProgram(console, WAIT_MS));
    deviceReady = 1;
    ASSERT_EQ(1, startReader(dashboard));
    closeConsoleDouble(console);
    pumpFor(QUIET_MS);
    // Still a reader that notices readerStop.
    ASSERT_TRUE(stopReader(WAIT_MS));
    handleWhatTheEndedReaderPosted();
    EXPECT_EQ(0u, removals());
}

} // namespace
