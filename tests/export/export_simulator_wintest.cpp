// An export from end to end: the program's own windows in this process,
// the console simulator (aerovane-sim.exe, built beside this test) serving
// a history with damaged packets, the real reader thread, the Export button
// of the setup page, the download, the export thread and the file, whose
// rows must be the records the simulator logged as sent, in order.
//
// AEROVANE_EXPORT_RECORDS sets the history size (default 2,000; the full
// store of 60,000 is scripts/export-soak.sh).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/message_box_win.h"
#include "app/main_window_win.h"
#include "dashboard/dashboard_page_win.h"
#include "export/export_file.h"
#include "export/export_job.h"
#include "export/export_job_win.h"
#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "resources/resource_ids.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/simulator_process_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = 15000;
constexpr int DEFAULT_RECORDS = 2000;

int historySize()
{
    const char* wanted = std::getenv("AEROVANE_EXPORT_RECORDS");
    const int records = wanted ? std::atoi(wanted) : DEFAULT_RECORDS;
    return records > 0 && records <= 65535 ? records : DEFAULT_RECORDS;
}

struct ShownBox {
    std::wstring text;
};
std::vector<ShownBox> boxes;

int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    boxes.push_back({text ? text : L""});
    return IDOK;
}

std::wstring chosenFile;
int dialogCalls = 0;
BOOL WINAPI chooseTestFile(LPOPENFILENAMEW dialog)
{
    ++dialogCalls;
    std::wcsncpy(dialog->lpstrFile, chosenFile.c_str(), dialog->nMaxFile - 1);
    return TRUE;
}

// The dashboard's messages as its procedure receives them.
WNDPROC dashboardProcedure = nullptr;
std::vector<LPARAM> exportResults;
int historyDoneCount = 0;
int liveRecordCount = 0;
LRESULT CALLBACK watchDashboard(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HISTORY_DONE)
        ++historyDoneCount;
    if (message == WM_EXPORT_RESULT)
        exportResults.push_back(lParam);
    if (message == WM_LIVE_RECORD)
        ++liveRecordCount;
    return CallWindowProcW(dashboardProcedure, window, message, wParam, lParam);
}

class SimulatorExport : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        boxes.clear();
        exportResults.clear();
        historyDoneCount = 0;
        liveRecordCount = 0;
        dialogCalls = 0;
        showMessageBox = recordBox;
        exportSaveDialog = chooseTestFile;
        chosenFile = tempPath(L"history.csv");
        logPath = tempPath(L"sim.log");
    }

    void TearDown() override
    {
        pumpUntil([] { return exportRunning == 0; }, WAIT_MS);
        AppTest::TearDown(); // closes the main window: the simulator ends (--once)
        if (simulator.hProcess) {
            if (WaitForSingleObject(simulator.hProcess, WAIT_MS) != WAIT_OBJECT_0) {
                ADD_FAILURE() << "the simulator did not end";
                TerminateProcess(simulator.hProcess, 9);
                WaitForSingleObject(simulator.hProcess, WAIT_MS);
            }
            CloseHandle(simulator.hProcess);
            CloseHandle(simulator.hThread);
        }
        exportSaveDialog = GetSaveFileNameW;
        exportWrite = savedWrite;
    }

    void startSimulator(const std::wstring& options)
    {
        pipeName = uniquePipeName(L"export");
        std::wstring command = L"\"" + besideThisExe(L"aerovane-sim.exe") + L"\" --pipe=" + pipeName
                               + L" --once --seed=5 --upload-interval=0 --clock-interval=0 --log=\"" + logPath
                               + L"\" " + options;
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        const HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inheritable, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = nowhere;
        startup.hStdError = nowhere;
        const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &simulator);
        CloseHandle(nowhere);
        ASSERT_TRUE(started) << "aerovane-sim.exe not found beside the test";
        // The program looks for its console once at start: the pipe must exist.
        const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
        while (!WaitNamedPipeW(pipeName.c_str(), 100) && GetTickCount64() < deadline)
            Sleep(50);
    }

    // The program's window as at start-up, connected to the simulator.
    void startProgram()
    {
        std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
        ASSERT_EQ(1, createMainWindow(GetModuleHandleW(nullptr), SW_HIDE));
        ASSERT_NE(nullptr, dashboardPage);
        ASSERT_NE(nullptr, setupPage);
        dashboardProcedure = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(dashboardPage, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchDashboard)));
        ASSERT_TRUE(pumpUntil([] { return deviceReady == 1; }, WAIT_MS));
    }

    void chooseEverything()
    {
        CheckDlgButton(setupPage, IDC_WHOLE_PERIOD, BST_CHECKED);
        for (int id = IDC_DATA_SET_PRESSURE; id <= IDC_DATA_SET_CHANNEL7; ++id)
            CheckDlgButton(setupPage, id, BST_CHECKED);
    }

    // The simulator's log, once it has ended.
    std::vector<std::string> sentRecords(int count)
    {
        close();
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(simulator.hProcess, WAIT_MS));
        std::vector<std::string> records;
        const std::string prefix = " " + std::to_string(count) + " ok ";
        for (const std::string& line : linesOf(logPath)) {
            if (line.compare(0, 8, "history ") != 0)
                continue;
            const std::size_t mark = line.find(prefix);
            if (mark != std::string::npos)
                records.push_back(line.substr(mark + prefix.size()));
            else if (line.find(" given-up ") != std::string::npos || line.find(" abandoned ") != std::string::npos)
                ADD_FAILURE() << "a record did not arrive: " << line;
        }
        return records;
    }

    PROCESS_INFORMATION simulator{};
    std::wstring logPath;
    ExportWrite savedWrite = exportWrite;
};

TEST_F(SimulatorExport, DownloadWithDamagedPacketsExportsEveryRecordInOrder)
{
    const int count = historySize();
    startSimulator(L"--live-interval=250 --bad-crc-every=17 --history=" + std::to_wstring(count));
    startProgram();
    chooseEverything();

    click(setupPage, IDC_EXPORT);
    ASSERT_EQ(1, dialogCalls) << "the Export button was not taken";
    const DWORD limit = 30000 + static_cast<DWORD>(count) * 10;
    ASSERT_TRUE(pumpUntil([] { return !exportResults.empty() && exportRunning == 0; }, limit))
        << historyDoneCount << " downloads completed";
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, exportResults);
    EXPECT_EQ(1, historyDoneCount);
    EXPECT_TRUE(boxes.empty()) << "a message box appeared";
    EXPECT_FALSE(shown(GetDlgItem(statusBar, IDC_CANCEL_TRANSFER)));

    const std::vector<std::string> sent = sentRecords(count);
    ASSERT_EQ(static_cast<std::size_t>(count), sent.size());
    std::string problem;
    const std::vector<std::string> rows = exportedRows(chosenFile, problem);
    ASSERT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(sent.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(expectedRow(sent[i]), rows[i]) << "row " << i;
}

// Live observations keep coming while the file is written; each clears
// historyActive, but the Export button must still wait for the thread.
TEST_F(SimulatorExport, ExportButtonWaitsForTheRunningExport)
{
    const int count = 300;
    startSimulator(L"--live-interval=100 --history=" + std::to_wstring(count));
    startProgram();
    chooseEverything();
    // Rows go out slowly enough for live observations to arrive meanwhile.
    exportWrite = [](const void* data, std::size_t size, FILE* file) -> std::size_t {
        Sleep(5);
        return std::fwrite(data, 1, size, file);
    };

    click(setupPage, IDC_EXPORT);
    ASSERT_TRUE(pumpUntil([] { return historyDoneCount == 1; }, WAIT_MS * 4));
    const int liveBefore = liveRecordCount;
    ASSERT_TRUE(pumpUntil([&] { return liveRecordCount > liveBefore; }, WAIT_MS));
    ASSERT_EQ(0u, historyActive.load()) << "the live observation cleared it";
    ASSERT_EQ(1u, exportRunning.load()) << "the export ended too soon to test";
    click(setupPage, IDC_EXPORT);
    EXPECT_EQ(1, dialogCalls) << "a second request was taken while the file was written";
    ASSERT_TRUE(pumpUntil([] { return !exportResults.empty() && exportRunning == 0; }, WAIT_MS * 4));
    exportWrite = savedWrite;
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, exportResults);

    const std::vector<std::string> sent = sentRecords(count);
    std::string problem;
    const std::vector<std::string> rows = exportedRows(chosenFile, problem);
    ASSERT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(sent.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(expectedRow(sent[i]), rows[i]) << "row " << i;
    EXPECT_TRUE(boxes.empty());
}

} // namespace
