// Plugging the console in and out many times, through the same calls the
// main window makes: nothing may pile up.
//
// AEROVANE_SOAK_CYCLES sets the number of cycles (default 50; scripts/soak.sh
// runs 200).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;
constexpr int DEFAULT_CYCLES = 50;
constexpr int WARM_UP_CYCLES = 3;
// Wine's heap grows in steps; a leak of even one reader's buffers (a few
// KiB) per cycle shows over 200 cycles all the same.
constexpr unsigned long long MEMORY_SLACK = 256 * 1024;

int cycleCount()
{
    const char* wanted = std::getenv("AEROVANE_SOAK_CYCLES");
    const int cycles = wanted ? std::atoi(wanted) : DEFAULT_CYCLES;
    return cycles > 0 && cycles <= 100000 ? cycles : DEFAULT_CYCLES;
}

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
        EXPECT_TRUE(releaseStation(WAIT_MS));
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

TEST_F(ConnectionCycles, ManyConnectionsLeaveHandlesThreadsAndMemoryAsTheyWere)
{
    const int CYCLES = cycleCount();
    // A few cycles first: Wine makes some of its own objects on first use.
    for (int serial = 0; serial < WARM_UP_CYCLES; ++serial)
        cycle(serial);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(awaitReader(WAIT_MS));
    const unsigned long handlesBefore = processHandleCount();
    const unsigned long threadsBefore = processThreadCount();
    const unsigned long long bytesBefore = processPrivateBytes();
    const ULONGLONG start = GetTickCount64();

    const int last = WARM_UP_CYCLES + CYCLES - 1;
    for (int serial = WARM_UP_CYCLES; serial <= last && !HasFatalFailure(); ++serial)
        cycle(serial);
    ASSERT_FALSE(HasFatalFailure());
    // Each removal only sets readerStop; the last reader ends by itself.
    ASSERT_TRUE(awaitReader(WAIT_MS));
    const unsigned long handlesAfter = processHandleCount();
    const unsigned long threadsAfter = processThreadCount();
    const unsigned long long bytesAfter = processPrivateBytes();
    std::printf("%d cycles in %llu ms: handles %lu before, %lu after; threads %lu before, %lu after; "
                "private bytes %llu KiB before, %llu KiB after\n",
                CYCLES, GetTickCount64() - start, handlesBefore, handlesAfter, threadsBefore, threadsAfter,
                bytesBefore / 1024, bytesAfter / 1024);
    EXPECT_EQ(handlesBefore, handlesAfter);
    EXPECT_EQ(threadsBefore, threadsAfter);
    EXPECT_LT(bytesAfter, bytesBefore + MEMORY_SLACK);

    // Every connection's observation arrived, each once.
    const std::vector<std::string> lines = dashboardLog.textsOf(WM_LIVE_RECORD);
    ASSERT_EQ(static_cast<std::size_t>(last + 1), lines.size());
    for (int serial = 0; serial <= last; ++serial)
        EXPECT_EQ(observationText(serial), lines[serial]);
    EXPECT_EQ(static_cast<std::size_t>(2 * (last + 1)), mainLog.messages.size());
}

} // namespace
