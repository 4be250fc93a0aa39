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
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "export/export_file.h"
#include "export/export_job.h"
#include "link/link_flags.h"
#include "resources/resource_ids.h"
#include "tests/support/export_fixture_win.h"
#include "tests/support/simulator_process_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr int DEFAULT_RECORDS = 2000;

int historySize()
{
    const char* wanted = std::getenv("AEROVANE_EXPORT_RECORDS");
    const int records = wanted ? std::atoi(wanted) : DEFAULT_RECORDS;
    return records > 0 && records <= 65535 ? records : DEFAULT_RECORDS;
}

class SimulatorExport : public SimulatorExportTest {
protected:
    // Exports everything the simulator serves with `faults` and checks that
    // the file holds exactly the records it delivered whole, in order, and
    // that `lost` of them did not arrive.
    void exportThrough(const std::wstring& faults, int count, std::size_t lost)
    {
        serve(L"--seed=7 --live-interval=0 --history=" + std::to_wstring(count) + L" " + faults);
        startProgram();
        exportEverything();
        ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; },
                              WAIT_MS + static_cast<DWORD>(count) * 50))
            << watched.historyDoneCount << " downloads completed";
        EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);
        EXPECT_TRUE(watched.boxes.empty()) << "a message box appeared";
        EXPECT_EQ(0u, historyActive.load()) << "the Export button would stay refused";

        close();
        ASSERT_TRUE(endSimulator(simulator, WAIT_MS)) << "the simulator did not end";
        std::vector<std::string> delivered;
        for (const LoggedRecord& record : loggedHistory(logPath, count))
            if (record.status == "ok")
                delivered.push_back(record.text);
        EXPECT_EQ(static_cast<std::size_t>(count) - lost, delivered.size());
        expectRowsOf(delivered);
    }

    // The chosen file's rows are those of `records`, in order.
    void expectRowsOf(const std::vector<std::string>& records)
    {
        std::string problem;
        const std::vector<std::string> rows = exportedRows(watched.chosenFile, problem);
        ASSERT_TRUE(problem.empty()) << problem;
        ASSERT_EQ(records.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            ASSERT_EQ(expectedRow(records[i]), rows[i]) << "row " << i;
    }

    // The simulator's log, once it has ended.
    std::vector<std::string> sentRecords(int count)
    {
        close();
        EXPECT_TRUE(endSimulator(simulator, WAIT_MS)) << "the simulator did not end";
        std::vector<std::string> records;
        for (const LoggedRecord& record : loggedHistory(logPath, count)) {
            if (record.status == "ok")
                records.push_back(record.text);
            else
                ADD_FAILURE() << "record " << record.number << " did not arrive: " << record.status;
        }
        return records;
    }
};

TEST_F(SimulatorExport, DownloadWithDamagedPacketsExportsEveryRecordInOrder)
{
    const int count = historySize();
    serve(L"--seed=5 --live-interval=250 --bad-crc-every=17 --history=" + std::to_wstring(count));
    startProgram();
    exportEverything();
    // The simulator's pace under Wine is about 12 ms a record; a loaded
    // machine gets four times that and more.
    const DWORD limit = WAIT_MS + static_cast<DWORD>(count) * 50;
    ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; }, limit))
        << watched.historyDoneCount << " downloads completed";
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);
    EXPECT_EQ(1, watched.historyDoneCount);
    EXPECT_TRUE(watched.boxes.empty()) << "a message box appeared";
    EXPECT_FALSE(shown(GetDlgItem(statusBar, IDC_CANCEL_TRANSFER)));

    const std::vector<std::string> sent = sentRecords(count);
    ASSERT_EQ(static_cast<std::size_t>(count), sent.size());
    expectRowsOf(sent);
}

// The console gave up the first packet of its first record and moved on:
// the rest of that record starts the download, which ends with every other
// record in the file.
TEST_F(SimulatorExport, FirstRecordLosingItsFirstPacketCostsOnlyThatRecord)
{
    exportThrough(L"--lose-packet=1 --fault-record=1", 200, 1);
}

// A last packet sent again in the middle of the download, its answer having
// come late: the newest record still lands.
TEST_F(SimulatorExport, PacketRepeatedInTheMiddleOfTheDownloadCostsNothing)
{
    exportThrough(L"--repeat-packet --fault-record=146", 147, 0);
}

// Live observations keep coming while the file is written; none of them
// frees the Export button before the thread is done.
TEST_F(SimulatorExport, ExportButtonWaitsForTheRunningExport)
{
    const int count = 300;
    serve(L"--seed=5 --live-interval=100 --history=" + std::to_wstring(count));
    startProgram();
    // The file is held at its 100th row while live observations arrive.
    holdExportWriteAt(100);
    exportEverything();
    ASSERT_TRUE(awaitHeldWrite(WAIT_MS * 4)) << "the file was not written";
    const int liveBefore = watched.liveRecordCount;
    ASSERT_TRUE(pumpUntil([&] { return watched.liveRecordCount > liveBefore; }, WAIT_MS));
    ASSERT_EQ(1u, historyActive.load()) << "the live observation cleared it";
    ASSERT_EQ(1u, exportRunning.load());
    click(setupPage, IDC_EXPORT);
    EXPECT_EQ(1, watched.dialogCalls) << "a second request was taken while the file was written";
    releaseHeldWrite();
    ASSERT_TRUE(pumpUntil([] { return !watched.exportResults.empty() && exportRunning == 0; }, WAIT_MS * 4));
    exportWrite = savedWrite;
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, watched.exportResults);

    expectRowsOf(sentRecords(count));
    EXPECT_TRUE(watched.boxes.empty());
}

} // namespace
