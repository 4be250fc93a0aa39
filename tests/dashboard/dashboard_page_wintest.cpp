// The dashboard page driven with the messages the program sends it: live
// observations, channel arrows, the refresh button, a language change and
// the reader's notes, in the real main window with a private registry and,
// where it matters, the test playing the console on a pipe.
#include <windows.h>

#include <dbt.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/message_box_win.h"
#include "app/language_tables.h"
#include "app/shared_drawing_win.h"
#include "app/status_bar_win.h"
#include "dashboard/dashboard_page_win.h"
#include "link/commands.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/station_device_win.h"
#include "resources/resource_ids.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/broadcast_record_win.h"
#include "tests/support/full_observation.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

struct Box {
    HWND owner;
    std::wstring text;
    std::wstring caption;
    UINT type;
};
std::vector<Box> boxes;

int WINAPI recordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    boxes.push_back({owner, text, caption, type});
    return IDOK;
}

class DashboardPageTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        boxes.clear();
        showMessageBox = recordBox;
    }

    void TearDown() override
    {
        // A box no test expected would have been a hang in the real program.
        for (const Box& box : boxes)
            ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(box.text);
        AppTest::TearDown();
    }

    // The reader hands over its assembly buffer; the page must not read past
    // its first 255 bytes, so the rest is filled with text that must not
    // show up anywhere.
    static void sendLive(const std::string& line)
    {
        char frame[450];
        std::memset(frame, 'X', sizeof frame);
        std::memcpy(frame, line.c_str(), line.size() + 1);
        SendMessageW(dashboardPage, WM_LIVE_RECORD, 0, reinterpret_cast<LPARAM>(frame));
    }

    static std::wstring field(int index) { return dashboardFields.text[index]; }

    std::vector<Box> takeBoxes()
    {
        std::vector<Box> taken;
        taken.swap(boxes);
        return taken;
    }

    static RECT areaOf(int control)
    {
        return controlRectInParent(dashboardPage, GetDlgItem(dashboardPage, control));
    }

    // The part of the page waiting to be repainted, after everything
    // already invalid was validated first. Only a shown window collects an
    // update region, so these tests show it.
    static RECT invalidAfter(void (*action)())
    {
        ValidateRect(dashboardPage, nullptr);
        action();
        RECT update{};
        GetUpdateRect(dashboardPage, &update, FALSE);
        return update;
    }
};

// ---- live observations ------------------------------------------------------------

TEST_F(DashboardPageTest, ALiveRecordFillsTheFieldsAndTellsTheStatusBar)
{
    start();
    sendLive(joined(fullObservation()));
    EXPECT_EQ(field(StationFields::loggerPercent), L"45");
    EXPECT_EQ(field(StationFields::outdoorTemp), L"-3.5");
    EXPECT_EQ(field(StationFields::windDirPoint), L"E");
    EXPECT_EQ(field(StationFields::ch3Temp), L"--.-");
    EXPECT_EQ(field(StationFields::monthlyRain), L"12.0");
    EXPECT_STREQ(statusLoggerText(), L"45%");

    // Values past the 36th are dropped.
    sendLive(joined(fullObservation()) + " 99 98");
    EXPECT_EQ(field(StationFields::monthlyRain), L"12.0");
}

TEST_F(DashboardPageTest, AShortRecordLeavesTheLaterFieldsEmpty)
{
    start();
    sendLive(joined(fullObservation()));
    sendLive(joined(fullObservation(), 9));
    EXPECT_EQ(field(StationFields::rainRate), L"0.3");
    for (int f = StationFields::windSpeed; f < static_cast<int>(STATION_FIELD_COUNT); ++f)
        EXPECT_EQ(field(f), L"") << "field " << f;
}

TEST_F(DashboardPageTest, TwoSpacesInARowMakeAnEmptyFieldAndShiftTheRest)
{
    start();
    sendLive("45 2026-03-07 09:15  45 -3.5");
    EXPECT_EQ(field(StationFields::indoorTemp), L"");
    EXPECT_EQ(field(StationFields::indoorHumidity), L"45");
    EXPECT_EQ(field(StationFields::outdoorTemp), L"-3.5");
    EXPECT_EQ(field(StationFields::outdoorHumidity), L"");
}

TEST_F(DashboardPageTest, EachRecordStampsTheLastReadAndStoresItAsData)
{
    start();
    SYSTEMTIME before;
    GetLocalTime(&before);
    sendLive(joined(fullObservation()));
    SYSTEMTIME after;
    GetLocalTime(&after);

    const std::wstring shown = textOf(dashboardPage, IDC_LAST_READ_TIME);
    // The stamp is one of the two minutes around the record (the clock may
    // have turned in between); the hour stays on the 24-hour clock.
    auto expected = [](const SYSTEMTIME& t) {
        wchar_t text[32];
        std::swprintf(text, 32, L"%.2d/ %.2d/ %.2d, %.2d:%.2d %ls", t.wMonth, t.wDay, t.wYear, t.wHour,
                      t.wMinute, t.wHour <= 12 ? L"AM" : L"PM");
        return std::wstring(text);
    };
    EXPECT_TRUE(shown == expected(before) || shown == expected(after)) << testing::PrintToString(shown);

    Bytes data;
    ASSERT_TRUE(readRaw(L"Data", &data));
    EXPECT_EQ(data, textValue(shown.c_str(), 64));
}

// ---- channel arrows ----------------------------------------------------------------

TEST_F(DashboardPageTest, ArrowsStepThroughTheChannelsAndEveryNotificationCounts)
{
    start();
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 1");
    click(dashboardPage, IDC_CHANNEL_NEXT, STN_CLICKED);
    click(dashboardPage, IDC_CHANNEL_NEXT, STN_DBLCLK);
    EXPECT_EQ(selectedChannel, 3);
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 3");
    click(dashboardPage, IDC_CHANNEL_PREVIOUS, STN_DBLCLK);
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 2");
}

TEST_F(DashboardPageTest, AChangeOfChannelRepaintsOnlyTheChannelValues)
{
    start(false, SW_SHOWNOACTIVATE);
    const RECT update = invalidAfter([] { click(dashboardPage, IDC_CHANNEL_NEXT); });
    RECT both{};
    const RECT temperature = areaOf(IDC_VALUE_CHANNEL_TEMP);
    const RECT humidity = areaOf(IDC_VALUE_CHANNEL_HUMIDITY);
    UnionRect(&both, &temperature, &humidity);
    EXPECT_TRUE(EqualRect(&update, &both));
}

TEST_F(DashboardPageTest, TheArrowsStopAtSevenAndAtOneWithoutAnyChange)
{
    start(false, SW_SHOWNOACTIVATE);
    for (int i = 0; i < 5; ++i)
        click(dashboardPage, IDC_CHANNEL_NEXT);
    RECT update = invalidAfter([] { click(dashboardPage, IDC_CHANNEL_NEXT); });
    ASSERT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 7");
    ASSERT_FALSE(IsRectEmpty(&update)) << "a real step is repainted";
    update = invalidAfter([] { click(dashboardPage, IDC_CHANNEL_NEXT); });
    EXPECT_EQ(selectedChannel, 7);
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 7");
    EXPECT_TRUE(IsRectEmpty(&update)) << "nothing repainted at channel 7";

    for (int i = 0; i < 6; ++i)
        click(dashboardPage, IDC_CHANNEL_PREVIOUS);
    ASSERT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 1");
    update = invalidAfter([] { click(dashboardPage, IDC_CHANNEL_PREVIOUS); });
    EXPECT_EQ(selectedChannel, 1);
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 1");
    EXPECT_TRUE(IsRectEmpty(&update)) << "nothing repainted at channel 1";
}

TEST_F(DashboardPageTest, ALiveRecordRepaintsTheValuesAndTheCompassOnly)
{
    start(false, SW_SHOWNOACTIVATE);
    const RECT update = invalidAfter([] { sendLive(joined(fullObservation())); });
    // The union of the fifteen areas and the compass, nothing of the
    // captions above the first row of values.
    RECT expected = {compassOrigin.x, compassOrigin.y, compassOrigin.x + compassSize.cx,
                     compassOrigin.y + compassSize.cy};
    for (int control : {1062, 1073, 1169, 1172, 1177, 1180, 1183, 1186, 1189, 1194, 1197, 1093, 1096, 1100, 1102}) {
        const RECT area = areaOf(control);
        UnionRect(&expected, &expected, &area);
    }
    EXPECT_TRUE(EqualRect(&update, &expected));
    const RECT title = areaOf(IDC_TITLE_INDOOR);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    GetUpdateRgn(dashboardPage, region, FALSE);
    EXPECT_FALSE(RectInRegion(region, &title));
    DeleteObject(region);
}

// ---- labels ------------------------------------------------------------------------

TEST_F(DashboardPageTest, ChangingTheLanguageRelabelsCaptionsButKeepsChannelTitleAndValues)
{
    start();
    sendLive(joined(fullObservation()));
    click(dashboardPage, IDC_CHANNEL_NEXT);
    click(dashboardPage, IDC_CHANNEL_NEXT);
    const std::wstring stamp = textOf(dashboardPage, IDC_LAST_READ_TIME);

    choose(headerBar, IDC_LANGUAGE_LIST, 1); // German
    ASSERT_EQ(language, 1u);
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_INDOOR), languageText(6));
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_CHANNEL_TEMP), languageText(8));
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_HEAT_INDEX), languageText(22));
    EXPECT_EQ(textOf(dashboardPage, IDC_LAST_READ_LABEL), languageText(58));
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), languageText(18));
    EXPECT_NE(textOf(dashboardPage, IDC_CAPTION_WIND_SPEED), L"Speed");

    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_CHANNEL), L"CH 3");
    EXPECT_EQ(selectedChannel, 3);
    EXPECT_EQ(textOf(dashboardPage, IDC_LAST_READ_TIME), stamp);
    EXPECT_EQ(field(StationFields::indoorTemp), L"21.4");
}

TEST_F(DashboardPageTest, ThePressureCaptionNamesThePressureTypeInUse)
{
    writeRaw(L"unit", Bytes{0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}); // absolute
    start();
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), L"Absolute Pressure");
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_UV_INDEX), L"UV Index");
}

// ---- refresh button ----------------------------------------------------------------

TEST_F(DashboardPageTest, RefreshWithoutAConsoleSaysTheDeviceIsNotReady)
{
    start();
    click(dashboardPage, IDC_REFRESH_BUTTON);
    const std::vector<Box> shown = takeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"the Usb Device is not ready!");
    EXPECT_EQ(shown[0].caption, L"Error");
    EXPECT_EQ(shown[0].owner, dashboardPage);
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK));
}

TEST_F(DashboardPageTest, RefreshWithTheConsoleAsksForTheCurrentObservation)
{
    start(true);
    click(dashboardPage, IDC_REFRESH_BUTTON);
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(command, CMD_READ_CURRENT);
}

TEST_F(DashboardPageTest, RefreshWhoseCommandCannotBeWrittenSaysSo)
{
    start(true);
    // The console is gone but its removal has not been noticed yet.
    closeConsoleDouble(console);
    ASSERT_EQ(deviceReady, 1u);
    click(dashboardPage, IDC_REFRESH_BUTTON);
    const std::vector<Box> shown = takeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L" Send command Failed! ");
    EXPECT_EQ(shown[0].caption, L"Error");
    EXPECT_EQ(shown[0].owner, dashboardPage);
}

// ---- the reader's other messages ---------------------------------------------------

TEST_F(DashboardPageTest, NoHistoryIsANoteOwnedByTheMainWindow)
{
    start();
    SendMessageW(dashboardPage, WM_NO_HISTORY, 0, 0);
    const std::vector<Box> shown = takeBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"Not history data NOW!");
    EXPECT_EQ(shown[0].caption, L"Note");
    EXPECT_EQ(shown[0].owner, mainWindow);
    EXPECT_EQ(shown[0].type, static_cast<UINT>(MB_OK));
}

TEST_F(DashboardPageTest, AClockRequestSendsTheDateThenTheTime)
{
    start(true);
    SendMessageW(dashboardPage, WM_CLOCK_REQUEST, 0, 0);
    CommandReport date{};
    CommandReport time{};
    ASSERT_TRUE(receiveCommand(console, date, WAIT_MS));
    ASSERT_TRUE(receiveCommand(console, time, WAIT_MS));
    EXPECT_EQ(date[2], CMD_SET_DATE_CODE);
    EXPECT_EQ(time[2], CMD_SET_TIME_CODE);
    SYSTEMTIME now;
    GetLocalTime(&now);
    EXPECT_EQ(date[3], now.wYear % 100);
    EXPECT_EQ(date[4], now.wMonth);
}

TEST_F(DashboardPageTest, RemovingTheConsoleTellsTheStatusBarAndEndsADownload)
{
    start(true);
    sendLive(joined(fullObservation()));
    historyActive = 1;
    closeConsoleDouble(console);
    InterfaceBroadcast broadcast = interfaceBroadcast(CONSOLE_INTERFACE);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, broadcast.lParam());
    EXPECT_STREQ(statusLoggerText(), L"--%");
    EXPECT_EQ(historyActive, 0u);
    EXPECT_EQ(field(StationFields::windSpeed), L"--");
}

// ---- colours -----------------------------------------------------------------------

TEST_F(DashboardPageTest, StaticsGetTheirTextColoursOnThePageBrush)
{
    start();
    HDC dc = CreateCompatibleDC(nullptr);
    auto colourOf = [dc](int control) {
        SetTextColor(dc, RGB(1, 2, 3));
        SetBkMode(dc, OPAQUE);
        const INT_PTR brush = SendMessageW(dashboardPage, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                           reinterpret_cast<LPARAM>(GetDlgItem(dashboardPage, control)));
        EXPECT_EQ(brush, reinterpret_cast<INT_PTR>(pageBrush)) << control;
        EXPECT_EQ(GetBkMode(dc), TRANSPARENT) << control;
        return GetTextColor(dc);
    };
    EXPECT_EQ(colourOf(IDC_TITLE_CHANNEL), 0x00636363u);
    EXPECT_EQ(colourOf(IDC_TITLE_INDEX), 0x00636363u);
    EXPECT_EQ(colourOf(IDC_CAPTION_PRESSURE), 0x00A05D05u);
    EXPECT_EQ(colourOf(IDC_CAPTION_WIND_DIRECTION), 0x00A05D05u);
    EXPECT_EQ(colourOf(IDC_LAST_READ_TIME), 0x00919191u);
    EXPECT_EQ(colourOf(IDC_LAST_READ_LABEL), 0x00919191u);
    DeleteDC(dc);
}

} // namespace
