// The program's link against the console simulator (aerovane-sim.exe, built
// beside this test) in its own process: a live observation, a 1,000-record
// history and a clock request, compared with what the simulator logged.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

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
constexpr DWORD HISTORY_LIMIT_MS = 120000;
constexpr int HISTORY_RECORDS = 1000;

std::wstring besideThisExe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

std::vector<std::string> linesOf(const std::wstring& path)
{
    std::vector<std::string> lines;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file)
        return lines;
    char line[1024];
    while (std::fgets(line, sizeof line, file)) {
        std::string text = line;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        lines.push_back(text);
    }
    std::fclose(file);
    return lines;
}

// The texts of the log lines that start with `prefix`, prefix removed.
std::vector<std::string> logged(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<std::string> texts;
    for (const std::string& line : lines)
        if (line.compare(0, prefix.size(), prefix) == 0)
            texts.push_back(line.substr(prefix.size()));
    return texts;
}

class SimulatorExchange : public ::testing::Test {
protected:
    static constexpr std::size_t SLOTS = HISTORY_RECORDS + 1;

    void SetUp() override
    {
        wchar_t directory[MAX_PATH];
        wchar_t file[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, directory));
        ASSERT_NE(0u, GetTempFileNameW(directory, L"sim", 0, file));
        logPath = file;
        pipeName = uniquePipeName(L"sim");

        std::wstring command = L"\"" + besideThisExe(L"aerovane-sim.exe") + L"\" --pipe=" + pipeName
                               + L" --once --seed=7 --live-interval=0 --upload-interval=0"
                                 L" --clock-interval=700 --history=1000 --log=\""
                               + logPath + L"\"";
        // Its printout goes nowhere; the log file says what it did.
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        const HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inheritable, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, nowhere);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = nowhere;
        startup.hStdError = nowhere;
        const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0,
                                            nullptr, nullptr, &startup, &simulator);
        CloseHandle(nowhere);
        ASSERT_TRUE(started) << "aerovane-sim.exe not found beside the test";

        std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
        dashboard = createRecorderWindow(&dashboardLog);
        statusWindow = createRecorderWindow(&statusLog);
        ASSERT_NE(nullptr, dashboard);
        ASSERT_NE(nullptr, statusWindow);
        statusBar = statusWindow;
        slots.assign(SLOTS, StationRecord{});
        setReaderHistory(slots.data(), slots.size(), exportPath);
        dashboardLog.react = [](UINT message, WPARAM, LPARAM) {
            if (message == WM_CLOCK_REQUEST)
                sendClock();
        };
        transferCancelled = 0;
        historyActive = 0;
        historyComplete = 0;
        stationDevice = new StationDevice;
    }

    void TearDown() override
    {
        EXPECT_TRUE(releaseStation(WAIT_MS));
        deviceReady = 0;
        statusBar = nullptr;
        setReaderHistory(nullptr, 0, nullptr);
        consolePath[0] = 0;
        if (simulator.hProcess) {
            // --once: the simulator ends when the program lets go of it.
            if (WaitForSingleObject(simulator.hProcess, WAIT_MS) != WAIT_OBJECT_0) {
                ADD_FAILURE() << "the simulator did not end";
                TerminateProcess(simulator.hProcess, 9);
                WaitForSingleObject(simulator.hProcess, WAIT_MS);
            }
            CloseHandle(simulator.hProcess);
            CloseHandle(simulator.hThread);
        }
        DestroyWindow(dashboard);
        DestroyWindow(statusWindow);
        DeleteFileW(logPath.c_str());
    }

    // The simulator needs a moment to create its pipe.
    bool connectWhenServed()
    {
        const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
        while (GetTickCount64() < deadline) {
            if (stationDevice->openStation())
                return true;
            pumpFor(50);
        }
        return false;
    }

    PROCESS_INFORMATION simulator{};
    std::wstring logPath;
    std::wstring pipeName;
    MessageLog dashboardLog;
    MessageLog statusLog;
    HWND dashboard = nullptr;
    HWND statusWindow = nullptr;
    std::vector<StationRecord> slots;
    wchar_t exportPath[260] = L"C:\\weather\\history.csv";
};

TEST_F(SimulatorExchange, LiveObservationHistoryAndClock)
{
    ASSERT_TRUE(connectWhenServed());
    stationConnected(dashboard); // CMD_STOP, then CMD_READ_CURRENT
    ASSERT_TRUE(pumpUntil([&] { return dashboardLog.countOf(WM_LIVE_RECORD) >= 1; }, WAIT_MS));

    historyRequested = HISTORY_REQUESTED;
    ASSERT_EQ(1, sendCommand(CMD_READ_HISTORY));
    ASSERT_TRUE(pumpUntil([&] { return dashboardLog.countOf(WM_HISTORY_DONE) >= 1; }, HISTORY_LIMIT_MS))
        << statusLog.countOf(WM_HISTORY_PROGRESS) << " records counted";
    ASSERT_TRUE(pumpUntil([&] { return dashboardLog.countOf(WM_CLOCK_REQUEST) >= 1; }, WAIT_MS));
    // The simulator logs its verdict on the clock once both commands came.
    EXPECT_TRUE(pumpUntil([&] { return !logged(linesOf(logPath), "clock ").empty(); }, WAIT_MS))
        << "no verdict on the clock";

    ASSERT_TRUE(releaseStation(WAIT_MS));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(simulator.hProcess, WAIT_MS));
    const std::vector<std::string> log = linesOf(logPath);
    ASSERT_FALSE(log.empty());

    // Live: exactly the line the simulator sent.
    const std::vector<std::string> live = logged(log, "live ok ");
    ASSERT_FALSE(live.empty());
    EXPECT_EQ(live, dashboardLog.textsOf(WM_LIVE_RECORD));

    // History: every record in its slot, in order, with its counts.
    EXPECT_EQ(std::vector<LPARAM>{HISTORY_RECORDS}, statusLog.lParamsOf(WM_HISTORY_TOTAL));
    EXPECT_EQ(static_cast<std::size_t>(HISTORY_RECORDS), statusLog.countOf(WM_HISTORY_PROGRESS));
    EXPECT_EQ(1u, historyComplete.load());
    for (int number = 1; number <= HISTORY_RECORDS; ++number) {
        const std::vector<std::string> record =
            logged(log, "history " + std::to_string(number) + " 1000 ok ");
        ASSERT_EQ(1u, record.size()) << "record " << number << " not sent once";
        ASSERT_STREQ(record[0].c_str(), slots[number - 1].text) << "slot " << number - 1;
    }
    EXPECT_EQ(0, slots[HISTORY_RECORDS].text[0]);

    // Clock: the simulator found the date and time sent right.
    EXPECT_FALSE(logged(log, "clock ok ").empty());
    EXPECT_TRUE(logged(log, "clock off").empty());
    EXPECT_TRUE(logged(log, "clock bad").empty());
}

} // namespace
