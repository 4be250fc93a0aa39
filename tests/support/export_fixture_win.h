// The program's windows in the test process, connected to the console
// simulator, with the export's outside edges watched: the message boxes,
// the save dialog (answered with `chosenFile`) and the dashboard's download
// and export notices.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "export/export_file.h"
#include "export/export_job_win.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/simulator_process_win.h"
#include "tests/support/test_window_win.h"

// Holds the export thread in the middle of its file, so that a test acts
// while the file is surely being written, however fast or slow the machine:
// the write numbered `at` (from 1) waits until releaseHeldWrite(), or at
// most GENEROUS_WAIT_MS. Puts its own write in exportWrite; the caller
// restores the one it replaced.
void holdExportWriteAt(int at);
// Waits up to timeoutMs, handling this thread's messages, until the export
// thread is held.
bool awaitHeldWrite(DWORD timeoutMs);
void releaseHeldWrite();
// The writes made since holdExportWriteAt, the held one included.
int exportWritesSeen();

// What the watched edges saw; reset by every test's set-up.
struct ExportWatch {
    std::vector<std::wstring> boxes;  // texts of the message boxes shown
    std::wstring chosenFile;          // what the save dialog answers
    int dialogCalls = 0;
    std::vector<LPARAM> exportResults; // WM_EXPORT_RESULT, in order
    int historyDoneCount = 0;
    int liveRecordCount = 0;
};
extern ExportWatch watched;

class SimulatorExportTest : public AppTest {
protected:
    static constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

    void SetUp() override;
    void TearDown() override;

    // Starts the simulator on this test's pipe, logging what it sends.
    void serve(const std::wstring& options);
    // The program's window as at start-up, connected to the simulator.
    void startProgram();
    // "Whole period" and every data set, then the Export button; the save
    // dialog must have been asked.
    void exportEverything();

    SimulatorProcess simulator;
    std::wstring logPath;
    ExportWrite savedWrite = exportWrite;
};
