// A second export after the link saw something of an earlier one: the
// console repeating its last packet after the download, a download cancelled
// in the middle of a record, a live observation left unfinished. The second
// file must hold every record, end to end with the simulator and the
// program's own windows in this process.
#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "export/export_job.h"
#include "link/link_flags.h"
#include "resources/resource_ids.h"
#include "tests/support/export_fixture_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr int RECORDS = 151;

class ExportAgain : public SimulatorExportTest {
protected:
    // The same history every time: the console's clock is fixed well inside
    // a record interval, so both downloads end with the same record.
    void serveHistory(const std::wstring& faults)
    {
        serve(L"--seed=11 --now=2026-03-07T09:05 --live-interval=0 --history=" + std::to_wstring(RECORDS) + L" "
              + faults);
    }

    bool logHas(const std::string& prefix)
    {
        for (const std::string& line : linesOf(logPath))
            if (line.compare(0, prefix.size(), prefix) == 0)
                return true;
        return false;
    }

    void waitForLog(const std::string& prefix)
    {
        ASSERT_TRUE(pumpUntil([&] { return logHas(prefix); }, WAIT_MS)) << "the simulator never logged " << prefix;
    }

    // Exports into `name` and waits for the file; `results` counts the
    // exports that ended before this one.
    void exportInto(const wchar_t* name, std::size_t results)
    {
        watched.chosenFile = tempPath(name);
        exportEverything();
        ASSERT_TRUE(pumpUntil([&] { return watched.exportResults.size() == results + 1 && exportRunning == 0; },
                              WAIT_MS * 4))
            << watched.historyDoneCount << " downloads completed";
        EXPECT_EQ(EXPORT_FINISHED, watched.exportResults.back());
    }

    // The rows of the file must be the records of the last transfer the
    // simulator logged, every one of them, in order.
    void expectEveryRecordOfTheLastTransfer(const std::wstring& file)
    {
        close();
        ASSERT_TRUE(endSimulator(simulator, WAIT_MS));
        const std::vector<LoggedRecord> logged = loggedHistory(logPath, RECORDS);
        ASSERT_GE(logged.size(), static_cast<std::size_t>(RECORDS));
        std::string problem;
        const std::vector<std::string> rows = exportedRows(file, problem);
        ASSERT_TRUE(problem.empty()) << problem;
        ASSERT_EQ(static_cast<std::size_t>(RECORDS), rows.size()) << "records lost";
        const std::size_t first = logged.size() - RECORDS;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ("ok", logged[first + i].status) << "record " << i + 1;
            ASSERT_EQ(expectedRow(logged[first + i].text), rows[i]) << "row " << i;
        }
        EXPECT_TRUE(watched.boxes.empty()) << "a message box appeared";
    }
};

TEST_F(ExportAgain, LastPacketRepeatedAfterTheDownloadGivesTheSameSecondFile)
{
    serveHistory(L"--repeat-last-packet");
    startProgram();
    exportInto(L"first.csv", 0);
    ASSERT_FALSE(HasFatalFailure());
    // The program answers the repeated packet, which the console had no
    // longer waited for.
    waitForLog("unexpected-answer");
    ASSERT_FALSE(HasFatalFailure());
    exportInto(L"second.csv", 1);
    ASSERT_FALSE(HasFatalFailure());

    const std::string first = fileBytes(tempPath(L"first.csv"));
    const std::string second = fileBytes(tempPath(L"second.csv"));
    ASSERT_FALSE(first.empty());
    EXPECT_TRUE(first == second) << "first " << first.size() << " bytes, second " << second.size();
    expectEveryRecordOfTheLastTransfer(tempPath(L"second.csv"));
}

TEST_F(ExportAgain, CancelInTheMiddleOfARecordCostsTheNextExportNothing)
{
    serveHistory(L"--stall --fault-record=40");
    startProgram();
    watched.chosenFile = tempPath(L"cancelled.csv");
    exportEverything();
    waitForLog("stall history 40");
    ASSERT_FALSE(HasFatalFailure());
    click(statusBar, IDC_CANCEL_TRANSFER);
    EXPECT_EQ(0u, historyActive.load());
    exportInto(L"again.csv", 0);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(fileExists(tempPath(L"cancelled.csv")));
    expectEveryRecordOfTheLastTransfer(tempPath(L"again.csv"));
}

TEST_F(ExportAgain, UnfinishedLiveObservationCostsTheExportNothing)
{
    // The first live observation, asked for on connection, stops halfway.
    serveHistory(L"--stall --fault-live=1");
    startProgram();
    waitForLog("stall live");
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(0, watched.liveRecordCount);
    exportInto(L"after-live.csv", 0);
    ASSERT_FALSE(HasFatalFailure());
    expectEveryRecordOfTheLastTransfer(tempPath(L"after-live.csv"));
}

} // namespace
