// The export under faults, from end to end with the program's own windows
// in this process: a download through damaged and lost packets, the console
// vanishing in the download and while the file is written, and a console
// that never answers the history request. Each prints its figures.
//
// AEROVANE_SOAK_RECORDS sets the damaged download's size (default 3,000;
// scripts/export-soak.sh runs it with 60,000).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "export/export_file.h"
#include "export/export_job.h"
#include "link/commands.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "resources/resource_ids.h"
#include "tests/support/export_fixture_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr int DEFAULT_SOAK_RECORDS = 3000;
constexpr int KEY_NO_CONNECTION = 56;

int soakRecords()
{
    const char* wanted = std::getenv("AEROVANE_SOAK_RECORDS");
    const int records = wanted ? std::atoi(wanted) : DEFAULT_SOAK_RECORDS;
    return records > 0 && records <= 65535 ? records : DEFAULT_SOAK_RECORDS;
}

class ExportFaults : public SimulatorExportTest {
protected:
    // A console that sends no live observations between the records.
    void serveQuiet(const std::wstring& options) { serve(L"--seed=7 --live-interval=0 " + options); }

    // Back to idle after the console vanished: "No connection", no
    // download, no export, nothing to cancel, no file.
    void expectIdleWithoutFile()
    {
        ASSERT_TRUE(pumpUntil([] { return deviceReady == 0 && historyActive == 0 && exportRunning == 0; },
                              WAIT_MS))
            << "deviceReady " << deviceReady << ", historyActive " << historyActive;
        EXPECT_EQ(std::wstring(languageText(KEY_NO_CONNECTION)), textOf(statusBar, IDC_CONNECTION_TEXT));
        EXPECT_FALSE(shown(GetDlgItem(statusBar, IDC_CANCEL_TRANSFER)));
        EXPECT_FALSE(fileExists(watched.chosenFile)) << "a partial file stayed";
    }

    // A second console on the same pipe: the program finds it by itself
    // and a whole export goes through.
    void expectNextConnectionExports(int count)
    {
        SimulatorProcess first = simulator;
        EXPECT_TRUE(endSimulator(first, WAIT_MS));
        simulator = SimulatorProcess{};
        DeleteFileW(logPath.c_str());
        serveQuiet(L"--history=" + std::to_wstring(count));
        ASSERT_FALSE(HasFatalFailure());
        const ULONGLONG start = GetTickCount64();
        ASSERT_TRUE(pumpUntil([] { return deviceReady == 1; }, WAIT_MS)) << "the program did not reconnect";
        std::printf("reconnected %llu ms after the console came back\n", GetTickCount64() - start);
        watched.exportResults.clear();
        exportEverything();
        ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; }, WAIT_MS * 2));
        EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);
        std::string problem;
        EXPECT_EQ(static_cast<std::size_t>(count), exportedRows(watched.chosenFile, problem).size()) << problem;
    }
};

// 2% of the packets damaged (each NAKed and sent again) and every 250th
// record losing a packet: each record the reader acknowledged whole is a
// row, in order; a record that lost a packet is missing, and counted so the
// download still completes.
TEST_F(ExportFaults, DamagedAndLostPacketsLoseNoAcknowledgedRecord)
{
    const int count = soakRecords();
    serveQuiet(L"--bad-crc-every=50 --lose-packet --fault-every=250 --history=" + std::to_wstring(count));
    startProgram();
    const ULONGLONG start = GetTickCount64();
    exportEverything();
    // The simulator's pace under Wine is about 12 ms a record; a loaded
    // machine gets four times that and more.
    const DWORD limit = WAIT_MS + static_cast<DWORD>(count) * 50;
    ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; }, limit))
        << watched.historyDoneCount << " downloads completed, " << historyTotal << " announced";
    const ULONGLONG took = GetTickCount64() - start;
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);
    EXPECT_TRUE(watched.boxes.empty()) << "a message box appeared";

    close();
    EXPECT_TRUE(endSimulator(simulator, WAIT_MS));
    std::vector<std::string> kept;
    int lost = 0;
    int givenUp = 0;
    for (const LoggedRecord& record : loggedHistory(logPath, count)) {
        if (record.status == "ok")
            kept.push_back(record.text);
        else if (record.status == "faulted")
            ++lost;
        else if (record.status == "given-up")
            ++givenUp;
        else
            ADD_FAILURE() << "record " << record.number << " " << record.status;
    }
    std::string problem;
    const std::vector<std::string> rows = exportedRows(watched.chosenFile, problem);
    std::printf("%d records: %zu acknowledged whole, %d lost a packet, %d given up; %zu rows in %llu ms\n",
                count, kept.size(), lost, givenUp, rows.size(), took);
    EXPECT_GT(lost, 0) << "no packet was lost: the fault options did nothing";
    EXPECT_EQ(static_cast<std::size_t>(count), kept.size() + static_cast<std::size_t>(lost + givenUp));
    ASSERT_TRUE(problem.empty()) << problem;
    ASSERT_EQ(kept.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(expectedRow(kept[i]), rows[i]) << "row " << i;
}

TEST_F(ExportFaults, ConsoleVanishingInTheDownloadLeavesNoFileAndTheNextConsoleWorks)
{
    serveQuiet(L"--vanish-after=150 --history=1000");
    startProgram();
    exportEverything();
    const ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(pumpUntil([] { return deviceReady == 0; }, WAIT_MS)) << "the vanished console went unnoticed";
    std::printf("vanished in the download: absent %llu ms after the export began\n", GetTickCount64() - start);
    expectIdleWithoutFile();
    EXPECT_TRUE(watched.exportResults.empty());
    EXPECT_EQ(0, watched.historyDoneCount);
    ASSERT_FALSE(HasFatalFailure());
    expectNextConnectionExports(200);
    EXPECT_TRUE(watched.boxes.empty());
}

TEST_F(ExportFaults, ConsoleVanishingWhileTheFileIsWrittenDeletesIt)
{
    serveQuiet(L"--history=800");
    startProgram();
    // The file is held at its 100th row while the console vanishes.
    holdExportWriteAt(100);
    exportEverything();
    ASSERT_TRUE(awaitHeldWrite(WAIT_MS * 2)) << "the file was not written";
    EXPECT_TRUE(fileExists(watched.chosenFile));
    killSimulator(simulator);
    const ULONGLONG killed = GetTickCount64();
    EXPECT_TRUE(pumpUntil([] { return deviceReady == 0; }, WAIT_MS)) << "the vanished console went unnoticed";
    EXPECT_EQ(1u, exportRunning.load());
    releaseHeldWrite();
    expectIdleWithoutFile();
    std::printf("vanished while the file was written: idle %llu ms later\n", GetTickCount64() - killed);
    exportWrite = savedWrite;
    // A cancelled export says "finished"; its file is gone all the same.
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);
    EXPECT_TRUE(watched.boxes.empty());
    ASSERT_FALSE(HasFatalFailure());
    expectNextConnectionExports(200);
}

// A downloaded history whose file cannot be written: a folder that does not
// exist, and a disk that fills up in the middle of the file. Each says
// "write file failed !" and leaves no file; the next export still works.
TEST_F(ExportFaults, FileThatCannotBeWrittenSaysSoAndLeavesNoFile)
{
    serveQuiet(L"--history=300");
    startProgram();
    const std::wstring wanted = watched.chosenFile;
    watched.chosenFile = tempPath(L"no such folder\\history.csv");
    exportEverything();
    ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; }, WAIT_MS * 2));

    watched.chosenFile = wanted;
    static int writesLeft;
    writesLeft = 100;
    exportWrite = [](const void* data, std::size_t size, FILE* file) -> std::size_t {
        return --writesLeft >= 0 ? std::fwrite(data, 1, size, file) : 0;
    };
    exportEverything();
    ASSERT_TRUE(pumpUntil([] { return watched.exportResults.size() == 2 && exportRunning == 0; }, WAIT_MS * 2));
    exportWrite = savedWrite;
    EXPECT_EQ((std::vector<LPARAM>{EXPORT_WRITE_FAILED, EXPORT_WRITE_FAILED}), watched.exportResults);
    EXPECT_EQ((std::vector<std::wstring>{L"write file failed !", L"write file failed !"}), watched.boxes);
    EXPECT_FALSE(fileExists(tempPath(L"no such folder")));
    EXPECT_FALSE(fileExists(watched.chosenFile)) << "the partial file stayed";
    EXPECT_LT(writesLeft, 0) << "the file was finished before the disk filled";

    exportEverything();
    ASSERT_TRUE(pumpUntil([] { return watched.exportResults.size() == 3 && exportRunning == 0; }, WAIT_MS * 2));
    EXPECT_EQ(EXPORT_FINISHED, watched.exportResults.back());
    std::string problem;
    EXPECT_EQ(300u, exportedRows(watched.chosenFile, problem).size()) << problem;
}

// The history request goes out and nothing comes back: the window keeps
// answering, and Export can be pressed again, sending a new request.
TEST_F(ExportFaults, ConsoleThatNeverAnswersHistoryLeavesTheWindowResponsive)
{
    start(true);
    ASSERT_FALSE(HasFatalFailure());
    watched.dialogCalls = 0;
    exportEverything();
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(CMD_READ_HISTORY, command);

    // Asked from another thread, as the system asks a window it suspects hung.
    std::atomic<int> answered{-1};
    std::atomic<DWORD> answerMs{0};
    const HWND window = mainWindow;
    std::thread asker([&] {
        for (int i = 0; i < 10; ++i) {
            DWORD_PTR result = 0;
            const ULONGLONG before = GetTickCount64();
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, WAIT_MS, &result)) {
                answered = 0;
                return;
            }
            answerMs = std::max<DWORD>(answerMs, static_cast<DWORD>(GetTickCount64() - before));
            Sleep(100);
        }
        answered = 1;
    });
    pumpUntil([&] { return answered != -1; }, WAIT_MS);
    asker.join();
    std::printf("window answered 10 of 10 asks in %lu ms at most while the history request hung\n",
                static_cast<unsigned long>(answerMs.load()));
    EXPECT_EQ(1, answered.load()) << "the window did not answer";
    EXPECT_EQ(0u, historyActive.load());

    exportEverything();
    EXPECT_EQ(2, watched.dialogCalls);
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS)) << "no second history request";
    EXPECT_EQ(CMD_READ_HISTORY, command);
    EXPECT_TRUE(watched.boxes.empty());
    EXPECT_FALSE(fileExists(watched.chosenFile));
}

} // namespace
