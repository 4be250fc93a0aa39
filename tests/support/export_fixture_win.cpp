#include "tests/support/export_fixture_win.h"

#include <atomic>
#include <cwchar>

#include "app/app_state_win.h"
#include "app/main_window_win.h"
#include "app/message_box_win.h"
#include "export/export_job.h"
#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "resources/resource_ids.h"
#include "tests/support/test_window_win.h"

ExportWatch watched;

namespace {

int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    watched.boxes.push_back(text ? text : L"");
    return IDOK;
}

BOOL WINAPI chooseTestFile(LPOPENFILENAMEW dialog)
{
    ++watched.dialogCalls;
    std::wcsncpy(dialog->lpstrFile, watched.chosenFile.c_str(), dialog->nMaxFile - 1);
    return TRUE;
}

WNDPROC dashboardProcedure = nullptr;
LRESULT CALLBACK watchDashboard(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_HISTORY_DONE)
        ++watched.historyDoneCount;
    if (message == WM_EXPORT_RESULT)
        watched.exportResults.push_back(lParam);
    if (message == WM_LIVE_RECORD)
        ++watched.liveRecordCount;
    return CallWindowProcW(dashboardProcedure, window, message, wParam, lParam);
}

std::atomic<int> writesSeen{0};
std::atomic<int> holdAt{0};
HANDLE heldEvent = nullptr;    // set once the export thread waits
HANDLE releaseEvent = nullptr; // set to let it go on

std::size_t heldWrite(const void* data, std::size_t size, std::FILE* file)
{
    if (++writesSeen == holdAt) {
        SetEvent(heldEvent);
        WaitForSingleObject(releaseEvent, GENEROUS_WAIT_MS);
    }
    return std::fwrite(data, 1, size, file);
}

} // namespace

void holdExportWriteAt(int at)
{
    if (!heldEvent)
        heldEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!releaseEvent)
        releaseEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(heldEvent);
    ResetEvent(releaseEvent);
    writesSeen = 0;
    holdAt = at;
    exportWrite = heldWrite;
}

bool awaitHeldWrite(DWORD timeoutMs)
{
    return heldEvent && waitPumping(heldEvent, timeoutMs);
}

void releaseHeldWrite()
{
    if (releaseEvent)
        SetEvent(releaseEvent);
}

int exportWritesSeen()
{
    return writesSeen;
}

void SimulatorExportTest::SetUp()
{
    AppTest::SetUp();
    watched = ExportWatch{};
    watched.chosenFile = tempPath(L"history.csv");
    showMessageBox = recordBox;
    exportSaveDialog = chooseTestFile;
    logPath = tempPath(L"sim.log");
    pipeName = uniquePipeName(L"export");
}

void SimulatorExportTest::TearDown()
{
    releaseHeldWrite();
    pumpUntil([] { return exportRunning == 0; }, WAIT_MS);
    AppTest::TearDown(); // closes the main window: the simulator ends (--once)
    EXPECT_TRUE(endSimulator(simulator, WAIT_MS)) << "the simulator did not end";
    showMessageBox = MessageBoxW;
    exportSaveDialog = GetSaveFileNameW;
    exportWrite = savedWrite;
}

void SimulatorExportTest::serve(const std::wstring& options)
{
    ASSERT_TRUE(startSimulator(simulator, pipeName,
                               L"--once --upload-interval=0 --clock-interval=0 --log=\"" + logPath + L"\" "
                                   + options,
                               WAIT_MS))
        << "the simulator did not start";
}

void SimulatorExportTest::startProgram()
{
    std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
    ASSERT_EQ(1, createMainWindow(GetModuleHandleW(nullptr), SW_HIDE));
    ASSERT_NE(nullptr, dashboardPage);
    ASSERT_NE(nullptr, setupPage);
    dashboardProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(dashboardPage, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(watchDashboard)));
    ASSERT_TRUE(pumpUntil([] { return deviceReady == 1; }, WAIT_MS));
}

void SimulatorExportTest::exportEverything()
{
    CheckDlgButton(setupPage, IDC_WHOLE_PERIOD, BST_CHECKED);
    for (int id = IDC_DATA_SET_PRESSURE; id <= IDC_DATA_SET_CHANNEL7; ++id)
        CheckDlgButton(setupPage, id, BST_CHECKED);
    const int before = watched.dialogCalls;
    click(setupPage, IDC_EXPORT);
    ASSERT_EQ(before + 1, watched.dialogCalls) << "the Export button was not taken";
}
