// The status bar and the connection state as the user sees them, with the
// test playing the console on a pipe: the connection text and dot, the
// logger level, the progress of a history download and its cancel cross.
#include <windows.h>

#include <dbt.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/status_bar_win.h"
#include "dashboard/dashboard_page_win.h"
#include "link/commands.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/report_reader.h"
#include "link/station_device_win.h"
#include "resources/resource_ids.h"
#include "settings/setup_page_win.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/broadcast_record_win.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

using StatusBarTest = AppTest;

HICON iconOf(int id)
{
    return LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
}

HICON connectionDot()
{
    return reinterpret_cast<HICON>(SendDlgItemMessageW(statusBar, IDC_CONNECTION_DOT, STM_GETICON, 0, 0));
}

HWND cross()
{
    return GetDlgItem(statusBar, IDC_CANCEL_TRANSFER);
}

void deviceEvent(WPARAM event)
{
    InterfaceBroadcast broadcast = interfaceBroadcast(CONSOLE_INTERFACE);
    SendMessageW(mainWindow, WM_DEVICECHANGE, event, broadcast.lParam());
}

// A live observation whose first field, the logger level, is `level`.
std::string observationWithLevel(const char* level)
{
    const std::string line = observationText(1);
    return level + line.substr(line.find(' '));
}

// ---- connection ---------------------------------------------------------------

TEST_F(StatusBarTest, WithoutAConsoleTheBarShowsNoConnectionAndTheRedDot)
{
    start();
    EXPECT_EQ(deviceReady, 0u);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"No connection");
    EXPECT_EQ(connectionDot(), iconOf(IDI_DISCONNECTED_DOT));
    EXPECT_EQ(textOf(statusBar, IDC_LOGGER_LABEL), L"Logger");
}

TEST_F(StatusBarTest, TheConsoleArrivingAndLeavingSwitchesTextAndDot)
{
    start(true);
    EXPECT_EQ(deviceReady, 1u);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"USB connected");
    EXPECT_EQ(connectionDot(), iconOf(IDI_CONNECTED_DOT));

    // Uploading was on and a download ran when the console went.
    CheckDlgButton(setupPage, IDC_AUTO_UPLOAD, BST_CHECKED);
    ShowWindow(GetDlgItem(setupPage, IDC_UPLOAD_TEXT), SW_SHOW);
    SendMessageW(statusBar, WM_HISTORY_TOTAL, 0, 7);
    historyActive = 1;
    closeConsoleDouble(console);
    deviceEvent(DBT_DEVICEREMOVECOMPLETE);

    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"No connection");
    EXPECT_EQ(connectionDot(), iconOf(IDI_DISCONNECTED_DOT));
    EXPECT_EQ(deviceReady, 0u);
    EXPECT_EQ(readerStop, 1u);
    EXPECT_EQ(transferCancelled, 1u);
    EXPECT_EQ(historyActive, 0u);
    EXPECT_FALSE(shown(cross()));
    EXPECT_EQ(IsDlgButtonChecked(setupPage, IDC_AUTO_UPLOAD), static_cast<UINT>(BST_UNCHECKED));
    EXPECT_FALSE(shown(GetDlgItem(setupPage, IDC_UPLOAD_TEXT)));
    EXPECT_FALSE(shown(GetDlgItem(setupPage, IDC_UPLOAD_ICON)));

    // Plugged in again: connected without a restart.
    ASSERT_TRUE(openConsoleDouble(console, pipeName));
    deviceEvent(DBT_DEVICEARRIVAL);
    ASSERT_TRUE(awaitProgram(console, WAIT_MS));
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"USB connected");
    EXPECT_EQ(connectionDot(), iconOf(IDI_CONNECTED_DOT));
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(command, CMD_STOP);
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(command, CMD_READ_CURRENT);
}

// A pipe console's reader reports its broken pipe by a posted message,
// which can still be queued when the console is back and a new reader runs.
TEST_F(StatusBarTest, ALossReportFromAnEarlierConnectionChangesNothing)
{
    constexpr WPARAM ABSENT = 5;
    start(true);
    const LPARAM first = readerGeneration();
    closeConsoleDouble(console);
    deviceEvent(DBT_DEVICEREMOVECOMPLETE);
    ASSERT_TRUE(openConsoleDouble(console, pipeName));
    deviceEvent(DBT_DEVICEARRIVAL);
    ASSERT_TRUE(awaitProgram(console, WAIT_MS));
    ASSERT_NE(first, readerGeneration());

    SendMessageW(mainWindow, WM_STATION_CONNECTION, ABSENT, first);
    EXPECT_EQ(deviceReady, 1u);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"USB connected");

    // The running reader's own report is acted on.
    SendMessageW(mainWindow, WM_STATION_CONNECTION, ABSENT, readerGeneration());
    EXPECT_EQ(deviceReady, 0u);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"No connection");
}

// Arrivals come again while the console is connected (one per collection
// of the console). When the search then finds no console to open - here
// the pipe's one instance is the one in use - the working connection stays
// and its reader still answers.
TEST_F(StatusBarTest, ARepeatedArrivalThatFindsNoConsoleKeepsTheConnection)
{
    start(true);
    const HANDLE working = stationDevice->ioHandle;
    deviceEvent(DBT_DEVICEARRIVAL);
    EXPECT_EQ(stationDevice->ioHandle, working);
    EXPECT_EQ(deviceReady, 1u);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"USB connected");

    std::vector<CommandReport> answers;
    const EncodedMessage live = encodeText(KIND_OBSERVATION, observationHeader(0, 0), observationWithLevel("61"));
    ASSERT_TRUE(sendAnswered(console, live, answers, WAIT_MS)) << "the reader no longer answers";
    EXPECT_EQ(answers, std::vector<CommandReport>(live.count, CMD_RECORD_ACK));
    EXPECT_TRUE(pumpUntil([] { return std::wstring(statusLoggerText()) == L"61%"; }, WAIT_MS))
        << "logger text: " << testing::PrintToString(std::wstring(statusLoggerText()));
}

TEST_F(StatusBarTest, AnotherDevicesRemovalChangesNothing)
{
    start(true);
    InterfaceBroadcast broadcast = interfaceBroadcast(OTHER_INTERFACE);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, broadcast.lParam());
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"USB connected");
    EXPECT_EQ(deviceReady, 1u);
}

TEST_F(StatusBarTest, TheConnectionTextFollowsTheLanguage)
{
    start(true);
    AppTest::choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_GERMAN);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), languageTableText(LANGUAGE_GERMAN, 55));
    closeConsoleDouble(console);
    deviceEvent(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), languageTableText(LANGUAGE_GERMAN, 56));
}

// ---- logger level and the dashboard's values -------------------------------------

TEST_F(StatusBarTest, TheLoggerShowsDashesUntilTheFirstObservationThenItsLevel)
{
    start(true);
    EXPECT_STREQ(statusLoggerText(), L"Logger --%");
    EXPECT_STREQ(dashboardFields.text[StationFields::outdoorTemp], L"--.-");

    std::vector<CommandReport> answers;
    const EncodedMessage live = encodeText(KIND_OBSERVATION, observationHeader(0, 0), observationWithLevel("45"));
    ASSERT_TRUE(sendAnswered(console, live, answers, WAIT_MS));
    EXPECT_TRUE(pumpUntil([] { return std::wstring(statusLoggerText()) == L"45%"; }, WAIT_MS))
        << "logger text: " << testing::PrintToString(std::wstring(statusLoggerText()));
    EXPECT_STREQ(dashboardFields.text[StationFields::indoorTemp], L"21.4");
    // The last read is stamped and kept for the next start.
    Bytes data;
    EXPECT_TRUE(readRaw(L"Data", &data));
    EXPECT_EQ(data.size(), 64u);
    EXPECT_NE(textOf(dashboardPage, IDC_LAST_READ_TIME), L"10 / 18 / 2017, 20:15 AM");

    // Removal puts the dashes back and tells the bar.
    closeConsoleDouble(console);
    deviceEvent(DBT_DEVICEREMOVECOMPLETE);
    EXPECT_STREQ(statusLoggerText(), L"--%");
    EXPECT_STREQ(dashboardFields.text[StationFields::indoorTemp], L"--.-");
    EXPECT_STREQ(dashboardFields.text[StationFields::dailyRain], L"-.-");
    EXPECT_STREQ(dashboardFields.text[StationFields::windDirDegrees], L"");
    EXPECT_STREQ(dashboardFields.text[StationFields::recordDate], L"2026-03-07"); // kept
}

TEST_F(StatusBarTest, ALiveRecordIsReadOnlyWithinItsFirstBytes)
{
    start();
    // A frame without any terminator, longer than an observation can be.
    char frame[STATION_RECORD_SIZE];
    std::memset(frame, '7', sizeof frame);
    SendMessageW(dashboardPage, WM_LIVE_RECORD, 0, reinterpret_cast<LPARAM>(frame));
    EXPECT_EQ(std::wstring(dashboardFields.text[StationFields::loggerPercent]).size(), 63u);
    EXPECT_EQ(std::wstring(statusLoggerText()), std::wstring(32, L'7') + L"%");
}

TEST_F(StatusBarTest, AStoredLastReadIsShownAtStart)
{
    writeRaw(L"Data", textValue(L"03/ 07/ 2026, 09:15 AM", 64));
    start();
    EXPECT_EQ(textOf(dashboardPage, IDC_LAST_READ_TIME), L"03/ 07/ 2026, 09:15 AM");
}

// ---- download progress and cancel -----------------------------------------------

TEST_F(StatusBarTest, ThreeOfSevenRecordsShowExporting42Percent)
{
    start(true);
    EXPECT_FALSE(shown(cross()));
    SendMessageW(statusBar, WM_HISTORY_TOTAL, 0, 7);
    EXPECT_TRUE(shown(cross()));
    SendMessageW(statusBar, WM_HISTORY_PROGRESS, 0, 3);
    EXPECT_STREQ(statusProgressText(), L"Exporting 42% ....");
    SendMessageW(statusBar, WM_HISTORY_PROGRESS, 0, 7);
    EXPECT_STREQ(statusProgressText(), L"Exporting 100% ....");

    AppTest::choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_ITALIAN);
    SendMessageW(statusBar, WM_HISTORY_PROGRESS, 0, 3);
    EXPECT_EQ(std::wstring(statusProgressText()),
              std::wstring(languageTableText(LANGUAGE_ITALIAN, 53)) + L" 42% ....");

    SendMessageW(statusBar, WM_PROGRESS_CLEAR, 0, 0);
    EXPECT_STREQ(statusProgressText(), L"");
    EXPECT_FALSE(shown(cross()));
}

TEST_F(StatusBarTest, ProgressWithoutATotalShowsNothing)
{
    start(true);
    SendMessageW(statusBar, WM_HISTORY_TOTAL, 0, 0);
    SendMessageW(statusBar, WM_HISTORY_PROGRESS, 0, 3);
    EXPECT_STREQ(statusProgressText(), L"");
}

TEST_F(StatusBarTest, TheCrossCancelsTheDownloadAndLaterProgressShowsNothing)
{
    start(true);
    historyActive = 1;
    SendMessageW(statusBar, WM_HISTORY_TOTAL, 0, 7);
    SendMessageW(statusBar, WM_HISTORY_PROGRESS, 0, 3);
    ASSERT_STREQ(statusProgressText(), L"Exporting 42% ....");

    click(statusBar, IDC_CANCEL_TRANSFER, STN_CLICKED);
    EXPECT_FALSE(shown(cross()));
    EXPECT_STREQ(statusProgressText(), L"");
    EXPECT_EQ(transferCancelled, 1u);
    EXPECT_EQ(historyActive, 0u);
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(command, CMD_STOP);

    // Counts that were already on their way show nothing.
    SendMessageW(statusBar, WM_HISTORY_PROGRESS, 0, 4);
    EXPECT_STREQ(statusProgressText(), L"");
}

// ---- shutdown with a console ---------------------------------------------------

TEST_F(StatusBarTest, ClosingStopsTheReaderBeforeTheConsoleIsReleased)
{
    start(true);
    EXPECT_EQ(close(), 0);
    EXPECT_TRUE(awaitReader(0)); // no reader left running
    EXPECT_EQ(stationDevice, nullptr);
    // The program let go of the pipe: the console's next read fails at once.
    CommandReport command{};
    DWORD size = 0;
    EXPECT_FALSE(receiveCommand(console, command, 1000, &size));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
}

} // namespace
