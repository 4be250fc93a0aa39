// The export job on Windows: the checks of the Export button on the page's
// real controls (dialog 131), the save dialog's name rules, the start of the
// download, and the export thread with its result, its cancel and its write
// failures. Message boxes and the save dialog are answered through the job's
// seams, so an unexpected box fails a test instead of hanging it.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_file.h"
#include "app/message_box_win.h"
#include "export/export_job.h"
#include "export/export_job_win.h"
#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/report_reader.h"
#include "link/station_device_win.h"
#include "readings/history_store.h"
#include "readings/units.h"
#include "resources/resource_ids.h"
#include "sim/report_encoder.h"
#include "tests/support/console_double_win.h"
#include "tests/support/export_fixture_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;
constexpr DWORD EXPORT_LIMIT_MS = 120000;
// Lines of the header (29 two-line titles) and the unit row.
constexpr std::size_t HEADER_LINE_FEEDS = 31;

// ---- Seams ---------------------------------------------------------------------

struct ShownBox {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<ShownBox> boxes;

int WINAPI recordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    boxes.push_back({owner, text ? text : L"", caption ? caption : L"", type});
    return IDOK;
}

struct SaveDialog {
    int calls = 0;
    BOOL answer = TRUE;
    std::wstring name; // what the user "typed"
    // What the program asked for.
    HWND owner = nullptr;
    std::wstring filter; // with its NULs
    DWORD filterIndex = 0;
    std::wstring defaultExtension;
    DWORD flags = 0;
    DWORD room = 0;
    // What happens elsewhere while the modal dialog is open.
    void (*meanwhile)() = nullptr;
};
SaveDialog saveDialog;

BOOL WINAPI fakeSaveDialog(LPOPENFILENAMEW dialog)
{
    ++saveDialog.calls;
    saveDialog.owner = dialog->hwndOwner;
    const wchar_t* f = dialog->lpstrFilter;
    std::size_t length = 0;
    while (f && !(f[length] == 0 && f[length + 1] == 0))
        ++length;
    saveDialog.filter.assign(f, length + 2);
    saveDialog.filterIndex = dialog->nFilterIndex;
    saveDialog.defaultExtension = dialog->lpstrDefExt ? dialog->lpstrDefExt : L"";
    saveDialog.flags = dialog->Flags;
    saveDialog.room = dialog->nMaxFile;
    if (saveDialog.meanwhile)
        saveDialog.meanwhile();
    if (!saveDialog.answer)
        return FALSE;
    if (saveDialog.name.size() + 1 > dialog->nMaxFile)
        return FALSE;
    std::wcscpy(dialog->lpstrFile, saveDialog.name.c_str());
    return TRUE;
}

int failingWrites = 0; // the write that fails, counted from 1; 0: none
std::atomic<int> writesSeen{0};
std::size_t failOnWrite(const void* data, std::size_t size, FILE* file)
{
    if (++writesSeen == failingWrites)
        return 0;
    return std::fwrite(data, 1, size, file);
}

// ---- History ---------------------------------------------------------------------

void fillHistory(int count)
{
    clearHistoryStore();
    StationRecord* slots = historyStoreSlots();
    for (int i = 0; i < count; ++i) {
        const std::string text = observationText(i);
        std::memcpy(slots[i].text, text.c_str(), text.size() + 1);
    }
    historyTotal = static_cast<std::uint32_t>(count);
    historyComplete = 1;
}


// LF characters of a UTF-16LE file: header and unit rows plus one per row.
std::size_t lineFeeds(const std::string& bytes)
{
    std::size_t count = 0;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == '\n' && bytes[i + 1] == 0)
            ++count;
    return count;
}

INT_PTR CALLBACK plainDialog(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class ExportJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        boxes.clear();
        saveDialog = SaveDialog{};
        showMessageBox = recordBox;
        exportSaveDialog = fakeSaveDialog;
        failingWrites = 0;
        writesSeen = 0;
        deviceReady = 0;
        transferCancelled = 0;
        historyActive = 0;
        historyComplete = 0;
        historyTotal = 0;
        historyRequested = HISTORY_NOT_REQUESTED;
        exportRunning = 0;
        exportPath[0] = L'\0';
        setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);

        main = CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, main);
        page = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETUP_PAGE), main, plainDialog, 0);
        ASSERT_NE(nullptr, page);
        dashboard = createRecorderWindow(&dashboardLog);
        status = createRecorderWindow(&statusLog);
        ASSERT_NE(nullptr, dashboard);
        statusBar = status;
        // The dashboard's own handling of the result, as its procedure does.
        dashboardLog.react = [this](UINT message, WPARAM, LPARAM lParam) {
            if (message == WM_EXPORT_RESULT)
                onExportResult(dashboard, lParam);
        };

        wchar_t directory[MAX_PATH];
        GetTempPathW(MAX_PATH, directory);
        target = std::wstring(directory) + L"aerovane-job-" + std::to_wstring(GetCurrentProcessId()) + L".csv";
        DeleteFileW(target.c_str());
    }

    void TearDown() override
    {
        // Never leave a thread writing into the store of the next test.
        releaseHeldWrite();
        EXPECT_TRUE(pumpUntil([] { return exportRunning == 0; }, EXPORT_LIMIT_MS));
        exportWrite = savedWrite;
        showMessageBox = MessageBoxW;
        exportSaveDialog = GetSaveFileNameW;
        statusBar = nullptr;
        DestroyWindow(page);
        DestroyWindow(main);
        DestroyWindow(dashboard);
        DestroyWindow(status);
        DeleteFileW(target.c_str());
        deviceReady = 0;
        delete stationDevice;
        stationDevice = nullptr;
        consolePath[0] = 0;
        closeConsoleDouble(console);
    }

    void check(int id, bool on = true)
    {
        CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
    }

    void typeDates(const wchar_t* y1, const wchar_t* m1, const wchar_t* d1, const wchar_t* y2,
                   const wchar_t* m2, const wchar_t* d2)
    {
        const int ids[] = {IDC_START_YEAR, IDC_START_MONTH, IDC_START_DAY, IDC_END_YEAR, IDC_END_MONTH,
                           IDC_END_DAY};
        const wchar_t* texts[] = {y1, m1, d1, y2, m2, d2};
        for (int i = 0; i < 6; ++i)
            SetDlgItemTextW(page, ids[i], texts[i]);
    }

    void useTarget() { std::wcscpy(exportPath, target.c_str()); }

    // A console double on a pipe of its own, opened as the program opens
    // the console: commands the job sends can be read back from it.
    void connectConsole(const wchar_t* name)
    {
        const std::wstring pipe = uniquePipeName(name);
        ASSERT_TRUE(openConsoleDouble(console, pipe));
        std::wcsncpy(consolePath, pipe.c_str(), CONSOLE_PATH_SIZE - 1);
        stationDevice = new StationDevice;
        ASSERT_TRUE(stationDevice->openStation());
        ASSERT_TRUE(awaitProgram(console, WAIT_MS));
        deviceReady = 1;
    }

    bool awaitResult()
    {
        return pumpUntil([&] { return dashboardLog.countOf(WM_EXPORT_RESULT) >= 1 && exportRunning == 0; },
                         EXPORT_LIMIT_MS);
    }

    std::vector<LPARAM> results() const { return dashboardLog.lParamsOf(WM_EXPORT_RESULT); }

    HWND main = nullptr;
    HWND page = nullptr;
    HWND dashboard = nullptr;
    HWND status = nullptr;
    MessageLog dashboardLog;
    MessageLog statusLog;
    std::wstring target;
    ConsoleDouble console;
    ExportWrite savedWrite = exportWrite;
};

// ---- The request on the page's controls ------------------------------------------------

TEST_F(ExportJob, PageControlsFillTheRequest)
{
    typeDates(L"2018", L"02", L"31", L"2018", L"3", L"1");
    check(IDC_DATA_SET_OUTDOOR);
    check(IDC_DATA_SET_CHANNEL7);
    ASSERT_EQ(1, validateExportRequest(page));
    EXPECT_TRUE(boxes.empty());
    EXPECT_STREQ(L"2018-02-31", exportRequest.exportStartDate);
    EXPECT_STREQ(L"2018-3-1", exportRequest.exportEndDate);
    EXPECT_EQ(0u, exportRequest.dataSets.wholePeriod);
    EXPECT_EQ(1u, exportRequest.dataSets.outdoorSet);
    EXPECT_EQ(0u, exportRequest.dataSets.indoorSet);
    EXPECT_EQ(1u, exportRequest.dataSets.channelSet[6]);
    EXPECT_EQ(0u, exportRequest.dataSets.pressureSet);
}

TEST_F(ExportJob, FaultyDatesShowTheirMessageOwnedByThePage)
{
    typeDates(L"2018", L"1", L"1", L"2016", L"1", L"1");
    EXPECT_EQ(0, validateExportRequest(page));
    typeDates(L"2018", L"1", L"1", L"2018", L"13", L"1");
    EXPECT_EQ(0, validateExportRequest(page));
    typeDates(L"2018", L"1", L"", L"2018", L"1", L"1");
    EXPECT_EQ(0, validateExportRequest(page));
    ASSERT_EQ(3u, boxes.size());
    EXPECT_EQ(L"Year input error !", boxes[0].text);
    EXPECT_EQ(L"Month input error !", boxes[1].text);
    EXPECT_EQ(L"Day input error !", boxes[2].text);
    for (const ShownBox& box : boxes) {
        EXPECT_EQ(page, box.owner);
        EXPECT_EQ(L"Error", box.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), box.type);
    }
}

TEST_F(ExportJob, WholePeriodSkipsEmptyAndWrongDates)
{
    check(IDC_WHOLE_PERIOD);
    typeDates(L"1", L"", L"77", L"", L"0", L"");
    EXPECT_EQ(1, validateExportRequest(page));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(1u, exportRequest.dataSets.wholePeriod);
}

// ---- The save dialog ---------------------------------------------------------------------

TEST_F(ExportJob, SaveDialogAsksForCsvOrXlsAndTakesAnyCase)
{
    saveDialog.name = L"C:\\weather\\X.CSV";
    ASSERT_EQ(1, chooseExportFile(page));
    EXPECT_STREQ(L"C:\\weather\\X.CSV", exportPath);
    EXPECT_EQ(page, saveDialog.owner);
    EXPECT_EQ(std::wstring(L"(*.csv)\0*.csv\0(*.xls)\0*.xls\0\0", 29), saveDialog.filter);
    EXPECT_EQ(1u, saveDialog.filterIndex);
    EXPECT_EQ(L"csv", saveDialog.defaultExtension);
    const DWORD wanted = OFN_HIDEREADONLY | OFN_NONETWORKBUTTON | OFN_LONGNAMES;
    EXPECT_EQ(wanted, saveDialog.flags & wanted);
    EXPECT_EQ(0u, saveDialog.flags & (OFN_ALLOWMULTISELECT | OFN_ENABLEHOOK));
    EXPECT_GT(saveDialog.room, static_cast<DWORD>(EXPORT_PATH_SIZE)) << "a longer name must come back to be refused";

    saveDialog.name = L"week.xLs";
    EXPECT_EQ(1, chooseExportFile(page));
    EXPECT_STREQ(L"week.xLs", exportPath);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ExportJob, OtherExtensionsAreRefusedAndTheEarlierNameKept)
{
    std::wcscpy(exportPath, L"C:\\earlier.csv");
    for (const wchar_t* name : {L"C:\\weather\\week.txt", L"week.csv.bak", L"csv"}) {
        saveDialog.name = name;
        EXPECT_EQ(0, chooseExportFile(page)) << name;
    }
    EXPECT_STREQ(L"C:\\earlier.csv", exportPath);
    ASSERT_EQ(3u, boxes.size());
    for (const ShownBox& box : boxes) {
        EXPECT_EQ(L"File name error!", box.text);
        EXPECT_EQ(L"ERROR", box.caption);
        EXPECT_EQ(page, box.owner);
        EXPECT_EQ(static_cast<UINT>(MB_OK), box.type);
    }
}

TEST_F(ExportJob, NamesBeyond255CharactersAreRefusedNotCut)
{
    const std::wstring folder = L"C:\\" + std::wstring(240, L'a') + L"\\";
    saveDialog.name = folder + std::wstring(255 - folder.size() - 4, L'b') + L".csv"; // 255 exactly
    ASSERT_EQ(1, chooseExportFile(page));
    EXPECT_EQ(saveDialog.name, exportPath);

    const std::wstring kept = exportPath;
    saveDialog.name = folder + std::wstring(256 - folder.size() - 4, L'b') + L".csv";
    EXPECT_EQ(0, chooseExportFile(page));
    EXPECT_EQ(kept, exportPath);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"File name error!", boxes[0].text);
}

TEST_F(ExportJob, CancelledOrEmptyDialogShowsNothing)
{
    saveDialog.answer = FALSE;
    EXPECT_EQ(0, chooseExportFile(page));
    saveDialog.answer = TRUE;
    saveDialog.name = L"";
    EXPECT_EQ(0, chooseExportFile(page));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(L'\0', exportPath[0]);
}

// ---- Starting the download -----------------------------------------------------------------

TEST_F(ExportJob, ExportButtonIsIgnoredWhileBusyOrWithoutConsole)
{
    check(IDC_WHOLE_PERIOD);
    saveDialog.name = target;
    deviceReady = 0;
    EXPECT_EQ(0, startExport(page));
    deviceReady = 1;
    historyActive = 1;
    EXPECT_EQ(0, startExport(page));
    historyActive = 0;
    exportRunning = 1;
    EXPECT_EQ(0, startExport(page));
    exportRunning = 0;
    EXPECT_EQ(0, saveDialog.calls);
    EXPECT_TRUE(boxes.empty());
}

// History frames (a download started meanwhile, or its first frame just
// taken), an export thread started, or the console removed while the modal
// dialog was open: the request is refused after it, and the store and the
// path the reader and the thread use stay untouched.
TEST_F(ExportJob, ExportIsRefusedWhenADownloadBeganWhileTheDialogWasOpen)
{
    check(IDC_WHOLE_PERIOD);
    saveDialog.name = target;
    fillHistory(3);
    std::wcscpy(exportPath, L"C:\\running.csv");
    const auto meanwhiles = {+[] { historyActive = 1; }, +[] { exportRunning = 1; },
                             +[] { historyRequested = HISTORY_TAKEN; }, +[] { deviceReady = 0; }};
    for (auto meanwhile : meanwhiles) {
        deviceReady = 1;
        saveDialog.meanwhile = meanwhile;
        EXPECT_EQ(0, startExport(page));
        historyActive = 0;
        exportRunning = 0;
        historyRequested = HISTORY_NOT_REQUESTED;
    }
    saveDialog.meanwhile = nullptr;
    deviceReady = 0;
    EXPECT_EQ(4, saveDialog.calls);
    EXPECT_STREQ(L"C:\\running.csv", exportPath);
    EXPECT_NE(0, historyStoreSlots()[2].text[0]) << "the store was cleared under the download";
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ExportJob, DownloadStartClearsFlagsAndStoreAndSendsTheRequest)
{
    connectConsole(L"job");
    ASSERT_FALSE(HasFatalFailure());

    fillHistory(3);
    transferCancelled = 1; // left by an earlier cancel
    historyComplete = 1;   // left by an earlier export
    check(IDC_WHOLE_PERIOD);
    saveDialog.name = target;
    ASSERT_EQ(1, startExport(page));
    EXPECT_EQ(target, exportPath);
    EXPECT_EQ(0u, transferCancelled.load());
    EXPECT_EQ(0u, historyComplete.load());
    EXPECT_EQ(0, historyStoreSlots()[0].text[0]);
    EXPECT_EQ(0, historyStoreSlots()[2].text[0]);
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(CMD_READ_HISTORY, command);
    EXPECT_TRUE(boxes.empty());
}

// A second press while the first export still waits for the console's
// first record: each export keeps the request and the file confirmed in its
// own dialog.
class SecondExportPress : public ExportJob {
protected:
    void SetUp() override
    {
        ExportJob::SetUp();
        connectConsole(L"second");
        ASSERT_FALSE(HasFatalFailure());

        // The first press: pressure only, from 2026-01-01.
        typeDates(L"2026", L"1", L"1", L"2026", L"12", L"31");
        check(IDC_DATA_SET_PRESSURE);
        saveDialog.name = target;
        ASSERT_EQ(1, startExport(page));
        expectRequestSent();
        firstRequest = exportRequest;
        ASSERT_STREQ(L"2026-1-1", firstRequest.exportStartDate);

        // The second press asks for another period, other data and file.
        typeDates(L"2025", L"6", L"1", L"2025", L"6", L"30");
        check(IDC_DATA_SET_PRESSURE, false);
        check(IDC_DATA_SET_WIND);
        saveDialog.name = target + L".second.csv";
    }

    void expectRequestSent()
    {
        CommandReport command{};
        ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
        EXPECT_EQ(CMD_READ_HISTORY, command);
        EXPECT_EQ(HISTORY_REQUESTED, historyRequested.load());
    }

    void expectFirstExportUntouched()
    {
        EXPECT_EQ(target, exportPath);
        EXPECT_STREQ(firstRequest.exportStartDate, exportRequest.exportStartDate);
        EXPECT_STREQ(firstRequest.exportEndDate, exportRequest.exportEndDate);
        EXPECT_EQ(1, exportRequest.dataSets.pressureSet);
        EXPECT_EQ(0, exportRequest.dataSets.windSet);
    }

    ExportRequest firstRequest{};
};

TEST_F(SecondExportPress, ItsDialogCancelledLeavesTheFirstExportAsConfirmed)
{
    saveDialog.answer = FALSE;
    EXPECT_EQ(0, startExport(page));
    expectFirstExportUntouched();
    EXPECT_EQ(HISTORY_REQUESTED, historyRequested.load()) << "the first export still waits";
}

TEST_F(SecondExportPress, TheFirstDownloadBeganDuringItsDialog)
{
    // The reader takes the console's first record meanwhile.
    saveDialog.meanwhile = [] {
        std::uint32_t requested = HISTORY_REQUESTED;
        historyRequested.compare_exchange_strong(requested, HISTORY_TAKEN);
        historyActive = 1;
    };
    EXPECT_EQ(0, startExport(page));
    expectFirstExportUntouched();
    EXPECT_EQ(HISTORY_TAKEN, historyRequested.load());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SecondExportPress, BeforeAnyRecordItReplacesTheWaitingExport)
{
    fillHistory(3); // what a reader would have stored, had it taken frames
    ASSERT_EQ(1, startExport(page));
    expectRequestSent();
    EXPECT_EQ(target + L".second.csv", exportPath);
    EXPECT_STREQ(L"2025-6-1", exportRequest.exportStartDate);
    EXPECT_EQ(1, exportRequest.dataSets.windSet);
    EXPECT_EQ(0, exportRequest.dataSets.pressureSet);
    EXPECT_EQ(0, historyStoreSlots()[0].text[0]);
}

TEST_F(ExportJob, UnsentRequestSaysSoOwnedByTheMainWindow)
{
    deviceReady = 1; // no device object: the write fails
    check(IDC_WHOLE_PERIOD);
    saveDialog.name = target;
    EXPECT_EQ(0, startExport(page));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Command send failed !", boxes[0].text);
    EXPECT_EQ(L"Error", boxes[0].caption);
    EXPECT_EQ(main, boxes[0].owner);
}

// ---- The export thread ---------------------------------------------------------------------

TEST_F(ExportJob, CompletedDownloadIsWrittenAndReportedFinished)
{
    fillHistory(500);
    historyStoreSlots()[7].text[0] = 0; // a record the reader gave up
    historyActive = 1;
    exportRequest = ExportRequest{};
    exportRequest.dataSets.wholePeriod = 1;
    useTarget();
    onHistoryDone(dashboard);
    ASSERT_TRUE(awaitResult());
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, results());
    const std::string bytes = fileBytes(target);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ("\xFF\xFE", bytes.substr(0, 2));
    EXPECT_EQ(HEADER_LINE_FEEDS + 499, lineFeeds(bytes));
    // The result was handled before the flags returned to idle.
    EXPECT_EQ(1u, dashboardLog.countOf(WM_STAMP_LAST_READ));
    EXPECT_EQ(1u, statusLog.countOf(WM_PROGRESS_CLEAR));
    EXPECT_EQ(0u, historyActive.load());
    EXPECT_EQ(1u, historyComplete.load());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ExportJob, CancelDuringTheExportLeavesNoFileAndNoMessage)
{
    fillHistory(static_cast<int>(HISTORY_SLOT_COUNT));
    historyActive = 1;
    exportRequest = ExportRequest{};
    exportRequest.dataSets.wholePeriod = 1;
    useTarget();
    // The thread is held at its 20th write, so the cancel surely comes
    // while it runs.
    holdExportWriteAt(20);
    onHistoryDone(dashboard);
    ASSERT_TRUE(awaitHeldWrite(WAIT_MS));
    cancelHistoryTransfer(); // what the status bar's cross does to the flags
    // A cancel stays a cancel: the console's next live observation, through
    // the reader's own code, does not undo it.
    ReportReader reader{};
    initReportReader(reader, ReaderOutput{nullptr, nullptr, nullptr}, nullptr, 0, exportPath);
    const std::string line = observationText(1);
    EncodedMessage live;
    ASSERT_NE(0u, encodeMessage(KIND_OBSERVATION, observationHeader(0, 0),
                                reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), live));
    for (std::size_t i = 0; i < live.count; ++i)
        handleInputReport(reader, live.reports[i].data());
    releaseHeldWrite();
    ASSERT_TRUE(awaitResult());
    EXPECT_EQ(20, exportWritesSeen()) << "the cancel is tested after each slot";
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, results());
    EXPECT_FALSE(fileExists(target));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(0u, historyComplete.load());
    EXPECT_EQ(1u, statusLog.countOf(WM_PROGRESS_CLEAR));
    EXPECT_EQ(0u, historyActive.load());
}

TEST_F(ExportJob, CancelAfterTheFirstRowDeletesThePartialFile)
{
    fillHistory(50);
    exportRequest = ExportRequest{};
    exportRequest.dataSets.wholePeriod = 1;
    useTarget();
    // The cross is clicked while the first row is being written.
    exportWrite = [](const void* data, std::size_t size, FILE* file) -> std::size_t {
        if (++writesSeen == 3)
            transferCancelled = 1;
        return std::fwrite(data, 1, size, file);
    };
    onHistoryDone(dashboard);
    ASSERT_TRUE(awaitResult());
    EXPECT_EQ(3, writesSeen) << "the cancel is tested after each slot";
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, results());
    EXPECT_FALSE(fileExists(target));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(0u, historyComplete.load());
}

TEST_F(ExportJob, CancelBeforeTheThreadStartsWritesNothing)
{
    fillHistory(50);
    useTarget();
    transferCancelled = 1;
    onHistoryDone(dashboard);
    pumpFor(100);
    EXPECT_EQ(0u, exportRunning.load());
    EXPECT_FALSE(fileExists(target));
    EXPECT_EQ(0u, dashboardLog.countOf(WM_EXPORT_RESULT));
}

TEST_F(ExportJob, WriteFailureLeavesNoFileAndShowsTheError)
{
    fillHistory(2000);
    exportRequest = ExportRequest{};
    exportRequest.dataSets.wholePeriod = 1;
    useTarget();
    exportWrite = failOnWrite;
    failingWrites = 1500;
    onHistoryDone(dashboard);
    ASSERT_TRUE(awaitResult());
    EXPECT_EQ(1500, writesSeen);
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_WRITE_FAILED}, results());
    EXPECT_FALSE(fileExists(target));
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"write file failed !", boxes[0].text);
    EXPECT_EQ(L"Error", boxes[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), boxes[0].type);
    EXPECT_EQ(1u, transferCancelled.load());
    EXPECT_EQ(1u, statusLog.countOf(WM_PROGRESS_CLEAR));
    EXPECT_EQ(0u, dashboardLog.countOf(WM_STAMP_LAST_READ));
}

TEST_F(ExportJob, UncreatableFileOrIncompleteDownloadFails)
{
    fillHistory(10);
    std::wcscpy(exportPath, (target + L".missing\\x.csv").c_str());
    onHistoryDone(dashboard);
    ASSERT_TRUE(awaitResult());

    useTarget();
    historyComplete = 0;
    transferCancelled = 0;
    onHistoryDone(dashboard);
    ASSERT_TRUE(pumpUntil([&] { return results().size() == 2 && exportRunning == 0; }, WAIT_MS));
    EXPECT_EQ((std::vector<LPARAM>{EXPORT_WRITE_FAILED, EXPORT_WRITE_FAILED}), results());
    EXPECT_FALSE(fileExists(target));
    EXPECT_EQ(2u, boxes.size());
}

// historyActive cleared during the export (a cancel clears it) would alone
// let Export clear the store under the running thread.
TEST_F(ExportJob, ExportRefusedUntilTheRunningExportHasFinished)
{
    const int count = static_cast<int>(HISTORY_SLOT_COUNT);
    fillHistory(count);
    historyActive = 1;
    exportRequest = ExportRequest{};
    exportRequest.dataSets.wholePeriod = 1;
    useTarget();
    onHistoryDone(dashboard);

    historyActive = 0; // as a cancel leaves it
    deviceReady = 1;
    check(IDC_WHOLE_PERIOD);
    saveDialog.name = target + L".second.csv";
    EXPECT_EQ(0, startExport(page));
    EXPECT_EQ(0, saveDialog.calls);
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(target, exportPath);

    ASSERT_TRUE(awaitResult());
    EXPECT_EQ(std::vector<LPARAM>{EXPORT_FINISHED}, results());
    EXPECT_EQ(HEADER_LINE_FEEDS + static_cast<std::size_t>(count), lineFeeds(fileBytes(target)));

    // Once it is done the button works again.
    saveDialog.name = target;
    EXPECT_EQ(0, startExport(page)); // no console object: the request cannot go out
    EXPECT_EQ(1, saveDialog.calls);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(L"Command send failed !", boxes[0].text);
}

} // namespace
