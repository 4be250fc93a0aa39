// Plugging the console in and out many times, through the same calls the
// main window makes: nothing may pile up.
#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "link/commands.h"
#include "link/console_option.h"
#include "link/device_notify_win.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/report_reader.h"
#include "link/station_device_win.h"
#include "link/station_link_win.h"
#include "tests/support/broadcast_record_win.h"
#include "tests/support/console_double_win.h"
#include "tests/support/process_counts_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = 5000;
constexpr int CYCLES = 50;

class ConnectionCycles : public ::testing::Test {
protected:
    void SetUp() override
    {
        pipeName = uniquePipeName(L"cycles");
        std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
        mainWindow = createRecorderWindow(&mainLog);
        dashboard = createRecorderWindow(&dashboardLog);
        ASSERT_NE(nullptr, mainWindow);
        ASSERT_NE(nullptr, dashboard);
        // The main window's share of a connection change.
        mainLog.react = [this](UINT message, WPARAM wParam, LPARAM) {
            if (message != WM_STATION_CONNECTION)
                return;
            if (wParam == 4)
                stationConnected(dashboard);
            else if (wParam == 5)
                stationRemoved();
        };
        stationDevice = new StationDevice;
    }

    void TearDown() override
    {
        EXPECT_TRUE(releaseStation(READER_STOP_TIMEOUT_MS));
        consolePath[0] = 0;
        DestroyWindow(mainWindow);
        DestroyWindow(dashboard);
    }

    // The console arrives, answers a live request, and vanishes.
    void cycle(int serial)
    {
        ConsoleDouble console;
        ASSERT_TRUE(openConsoleDouble(console, pipeName));
        InterfaceBroadcast arrival = interfaceBroadcast(CONSOLE_INTERFACE);
        handleDeviceChange(mainWindow, DBT_DEVICEARRIVAL, arrival.lParam());
        ASSERT_TRUE(awaitProgram(console, WAIT_MS)) << "cycle " << serial;
        CommandReport command{};
        ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
        EXPECT_EQ(CMD_STOP, command);
        ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
        EXPECT_EQ(CMD_READ_CURRENT, command);
        std::vector<CommandReport> answers;
        const std::string line = observationText(serial);
        ASSERT_TRUE(sendAnswered(console, encodeText(KIND_OBSERVATION, observationHeader(0, 0), line),
                                 answers, WAIT_MS))
            << "cycle " << serial;
        const std::size_t expected = static_cast<std::size_t>(serial) + 1;
        ASSERT_TRUE(pumpUntil([&] { return dashboardLog.countOf(WM_LIVE_RECORD) == expected; }, WAIT_MS))
            << "cycle " << serial;
        closeConsoleDouble(console);
        InterfaceBroadcast removal = interfaceBroadcast(CONSOLE_INTERFACE);
        handleDeviceChange(mainWindow, DBT_DEVICEREMOVECOMPLETE, removal.lParam());
    }

    std::wstring pipeName;
    MessageLog mainLog;
    MessageLog dashboardLog;
    HWND mainWindow = nullptr;
    HWND dashboard = nullptr;
};

TEST_F(ConnectionCycles, FiftyConnectionsLeaveHandlesAndThreadsAsTheyWere)
{
    // One cycle first: Wine makes some of its own objects on first use.
    cycle(0);
    ASSERT_TRUE(awaitReader(READER_STOP_TIMEOUT_MS));
    const unsigned long handlesBefore = processHandleCount();
    const unsigned long threadsBefore = processThreadCount();

    for (int serial = 1; serial <= CYCLES && !HasFatalFailure(); ++serial)
        cycle(serial);
    ASSERT_FALSE(HasFatalFailure());
    // Each removal only sets readerStop; the last reader ends by itself.
    ASSERT_TRUE(awaitReader(READER_STOP_TIMEOUT_MS));
    const unsigned long handlesAfter = processHandleCount();
    const unsigned long threadsAfter = processThreadCount();
    std::printf("%d cycles: handles %lu before, %lu after; threads %lu before, %lu after\n", CYCLES,
                handlesBefore, handlesAfter, threadsBefore, threadsAfter);
    EXPECT_EQ(handlesBefore, handlesAfter);
    EXPECT_EQ(threadsBefore, threadsAfter);

    // Every connection's observation arrived, each once.
    const std::vector<std::string> lines = dashboardLog.textsOf(WM_LIVE_RECORD);
    ASSERT_EQ(static_cast<std::size_t>(CYCLES + 1), lines.size());
    for (int serial = 0; serial <= CYCLES; ++serial)
        EXPECT_EQ(observationText(serial), lines[serial]);
    EXPECT_EQ(static_cast<std::size_t>(2 * (CYCLES + 1)), mainLog.messages.size());
}

} // namespace
