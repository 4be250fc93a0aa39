// The main window with its four dialogs, created as the program creates
// them: start-up from the stored settings, the layout, the page switch, the
// language list and what is stored when the window closes.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/main_window_win.h"
#include "app/shared_drawing_win.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "readings/units.h"
#include "resources/resource_ids.h"
#include "tests/support/app_fixture_win.h"

namespace {

using MainWindowTest = AppTest;

RECT rectIn(HWND window, HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int comboSelection(HWND dialog, int id)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

// ---- start-up and stored settings -------------------------------------------

TEST_F(MainWindowTest, AStoredLanguageAndServiceOutOfRangeStartInEnglishWithWeatherUnderground)
{
    writeRaw(L"ls", {7, 2, 0, 0});
    start();
    EXPECT_EQ(language, 0u);
    EXPECT_EQ(selectedService, 0u);
    EXPECT_EQ(comboSelection(headerBar, IDC_LANGUAGE_LIST), 0);
    EXPECT_EQ(textOf(headerBar, IDC_TAB_DASHBOARD), L"DASHBOARD");
    EXPECT_EQ(textOf(headerBar, IDC_TAB_SETUP), L"EXPORT && SETUP");
    EXPECT_EQ(comboSelection(setupPage, IDC_SERVICE), 0);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), L"Station ID");

    EXPECT_EQ(close(), 0);
    Bytes ls;
    ASSERT_TRUE(readRaw(L"ls", &ls));
    EXPECT_EQ(ls, (Bytes{0, 0, 0, 0}));
}

TEST_F(MainWindowTest, AStoredLanguageAndServiceAreUsedAndSavedBack)
{
    writeRaw(L"ls", {4, 1, 0, 0});
    start();
    EXPECT_EQ(comboSelection(headerBar, IDC_LANGUAGE_LIST), 4);
    EXPECT_EQ(textOf(headerBar, IDC_TAB_DASHBOARD), languageTableText(LANGUAGE_SPANISH, 4));
    EXPECT_EQ(comboSelection(setupPage, IDC_SERVICE), 1);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), languageTableText(LANGUAGE_SPANISH, 31));
    close();
    Bytes ls;
    ASSERT_TRUE(readRaw(L"ls", &ls));
    EXPECT_EQ(ls, (Bytes{4, 1, 0, 0}));
}

TEST_F(MainWindowTest, StoredUnitsOfSixBytesSetTheSixChoicesAndAreStoredWhole)
{
    writeRaw(L"unit", {1, 1, 2, 3, 0, 1});
    start();
    EXPECT_EQ(comboSelection(setupPage, IDC_TEMPERATURE_UNIT), 1);
    EXPECT_EQ(comboSelection(setupPage, IDC_RAIN_UNIT), 1);
    EXPECT_EQ(comboSelection(setupPage, IDC_PRESSURE_UNIT), 2);
    EXPECT_EQ(comboSelection(setupPage, IDC_WIND_UNIT), 3);
    EXPECT_EQ(comboSelection(setupPage, IDC_PRESSURE_TYPE), 0);
    EXPECT_EQ(comboSelection(setupPage, IDC_DIRECTION_UNIT), 1);
    // The dashboard names the pressure it shows.
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), L"Absolute Pressure");
    close();
    Bytes unit;
    ASSERT_TRUE(readRaw(L"unit", &unit));
    EXPECT_EQ(unit, (Bytes{1, 1, 2, 3, 0, 1, 0, 0, 0, 0, 0, 0}));
}

TEST_F(MainWindowTest, WithoutStoredUnitsTheDefaultsAreChosenAndAChangeIsStoredAtExit)
{
    start();
    EXPECT_EQ(comboSelection(setupPage, IDC_TEMPERATURE_UNIT), 0);
    EXPECT_EQ(comboSelection(setupPage, IDC_WIND_UNIT), 2);
    EXPECT_EQ(comboSelection(setupPage, IDC_PRESSURE_TYPE), 1);
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), L"Relative Pressure");
    wchar_t item[16] = L"";
    SendDlgItemMessageW(setupPage, IDC_TEMPERATURE_UNIT, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
    EXPECT_STREQ(item, L"\u00B0F");

    // Any notification takes the selection, not only a change.
    choose(setupPage, IDC_TEMPERATURE_UNIT, 1, CBN_DROPDOWN);
    EXPECT_EQ(currentUnitSettings().temperatureUnit, 1);
    choose(setupPage, IDC_PRESSURE_TYPE, 0);
    EXPECT_EQ(currentUnitSettings().pressureType, 0);
    EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), L"Absolute Pressure");
    Bytes unit;
    EXPECT_FALSE(readRaw(L"unit", &unit)); // in memory until the page goes
    close();
    ASSERT_TRUE(readRaw(L"unit", &unit));
    EXPECT_EQ(unit, (Bytes{1, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// ---- station credentials -------------------------------------------------------

TEST_F(MainWindowTest, ClosingWithAnEmptyStationIdKeepsTheStoredId)
{
    writeRaw(L"Id", textValue(L"KSTATION1", 128));
    writeRaw(L"Key", textValue(L"oldkey", 128));
    start();
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"KSTATION1");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY), L"oldkey");
    SetDlgItemTextW(setupPage, IDC_STATION_ID, L"");
    SetDlgItemTextW(setupPage, IDC_STATION_KEY, L"newkey");
    close();
    Bytes id, key;
    ASSERT_TRUE(readRaw(L"Id", &id));
    EXPECT_EQ(id, textValue(L"KSTATION1", 128));
    ASSERT_TRUE(readRaw(L"Key", &key));
    EXPECT_EQ(key, textValue(L"newkey", 128));
    EXPECT_FALSE(readRaw(L"Id1", &id));
    EXPECT_FALSE(readRaw(L"Key1", &key));
}

TEST_F(MainWindowTest, CredentialsGoToTheServiceChosenWhenTheWindowCloses)
{
    writeRaw(L"Id", textValue(L"WU-STATION", 128));
    writeRaw(L"Id1", textValue(L"WC-STATION", 128));
    start();
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"WU-STATION");
    SetDlgItemTextW(setupPage, IDC_STATION_KEY, L"typed for WU, never stored");

    choose(setupPage, IDC_SERVICE, 1);
    EXPECT_EQ(selectedService, 1u);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"WC-STATION");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY), L""); // the other service's, even empty
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), L"ID");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY_LABEL), L"Key");
    SetDlgItemTextW(setupPage, IDC_STATION_KEY, L"wc-key");
    close();

    Bytes value;
    ASSERT_TRUE(readRaw(L"Key1", &value));
    EXPECT_EQ(value, textValue(L"wc-key", 128));
    ASSERT_TRUE(readRaw(L"Id1", &value));
    EXPECT_EQ(value, textValue(L"WC-STATION", 128));
    ASSERT_TRUE(readRaw(L"Id", &value));
    EXPECT_EQ(value, textValue(L"WU-STATION", 128));
    EXPECT_FALSE(readRaw(L"Key", &value));
    ASSERT_TRUE(readRaw(L"ls", &value));
    EXPECT_EQ(value, (Bytes{0, 1, 0, 0}));
}

TEST_F(MainWindowTest, ALongCredentialIsStoredWithItsFirstSixtyThreeCharacters)
{
    start();
    const std::wstring typed(64, L'k');
    // The edit takes 64 characters; the stored value holds 63 and a zero.
    SetDlgItemTextW(setupPage, IDC_STATION_ID, typed.c_str());
    close();
    Bytes id;
    ASSERT_TRUE(readRaw(L"Id", &id));
    EXPECT_EQ(id, textValue(std::wstring(63, L'k').c_str(), 128));
}

// ---- layout and pages -------------------------------------------------------------

TEST_F(MainWindowTest, TheClientAreaHoldsHeaderPageAndStatusBarWhole)
{
    start();
    RECT client{};
    GetClientRect(mainWindow, &client);
    RECT units{0, 0, 448, 16 + 240 + 16};
    MapDialogRect(headerBar, &units);
    EXPECT_GE(client.right, units.right);
    EXPECT_GE(client.bottom, units.bottom);

    RECT window{};
    GetWindowRect(mainWindow, &window);
    EXPECT_GE(window.right - window.left, MAIN_WINDOW_MIN_WIDTH);
    EXPECT_GE(window.bottom - window.top, MAIN_WINDOW_MIN_HEIGHT);
    const LONG style = GetWindowLongW(mainWindow, GWL_STYLE);
    EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX)); // fixed size

    RECT header{}, page{}, status{};
    GetClientRect(headerBar, &header);
    GetWindowRect(dashboardPage, &page);
    GetWindowRect(statusBar, &status);
    const RECT headerAt = rectIn(mainWindow, headerBar);
    const RECT dashboardAt = rectIn(mainWindow, dashboardPage);
    const RECT setupAt = rectIn(mainWindow, setupPage);
    const RECT statusAt = rectIn(mainWindow, statusBar);
    EXPECT_EQ(headerAt.top, 0);
    EXPECT_EQ(dashboardAt.top, header.bottom);
    EXPECT_EQ(setupAt.top, header.bottom);
    EXPECT_EQ(statusAt.bottom, client.bottom);
    EXPECT_EQ(dashboardAt.bottom, statusAt.top);
    // The page gets its full template height, nothing is squeezed.
    RECT pageUnits{0, 0, 448, 240};
    MapDialogRect(dashboardPage, &pageUnits);
    EXPECT_GE(dashboardAt.bottom - dashboardAt.top, pageUnits.bottom);
    for (const RECT& r : {headerAt, dashboardAt, setupAt, statusAt}) {
        EXPECT_EQ(r.left, 0);
        EXPECT_EQ(r.right, client.right);
    }
    // The controls at the right edge are inside the window.
    const HWND rightmost[] = {GetDlgItem(headerBar, IDC_LANGUAGE_LIST), GetDlgItem(headerBar, IDC_HELP_BUTTON),
                              GetDlgItem(statusBar, IDC_CONNECTION_DOT),
                              GetDlgItem(statusBar, IDC_CONNECTION_TEXT),
                              GetDlgItem(dashboardPage, IDC_PANEL_INDEX)};
    for (HWND control : rightmost) {
        const RECT r = rectIn(mainWindow, control);
        EXPECT_LE(r.right, client.right) << GetDlgCtrlID(control);
        EXPECT_LE(r.bottom, client.bottom) << GetDlgCtrlID(control);
    }
}

TEST_F(MainWindowTest, TheTabsSwitchBetweenTheTwoPages)
{
    start();
    EXPECT_TRUE(shown(headerBar));
    EXPECT_TRUE(shown(dashboardPage));
    EXPECT_FALSE(shown(setupPage));
    EXPECT_TRUE(shown(statusBar));
    EXPECT_EQ(currentPage, PAGE_DASHBOARD);

    click(headerBar, IDC_TAB_SETUP, STN_CLICKED);
    EXPECT_EQ(currentPage, PAGE_SETUP);
    EXPECT_TRUE(shown(setupPage));
    EXPECT_FALSE(shown(dashboardPage));

    // A second click, even a double click, changes nothing.
    click(headerBar, IDC_TAB_SETUP, STN_DBLCLK);
    EXPECT_TRUE(shown(setupPage));
    EXPECT_FALSE(shown(dashboardPage));

    click(headerBar, IDC_TAB_DASHBOARD, STN_CLICKED);
    EXPECT_EQ(currentPage, PAGE_DASHBOARD);
    EXPECT_TRUE(shown(dashboardPage));
    EXPECT_FALSE(shown(setupPage));

    SendMessageW(mainWindow, 32872 /* WM_SHOW_PAGE */, 3, 0);
    EXPECT_EQ(currentPage, PAGE_DASHBOARD);
    EXPECT_TRUE(shown(dashboardPage));
}

// ---- languages ----------------------------------------------------------------------

struct Relabelled {
    HWND* dialog;
    int control;
    int key;
};
const Relabelled RELABELLED[] = {
    {&headerBar, IDC_TAB_DASHBOARD, 4},       {&headerBar, IDC_TAB_SETUP, 5},
    {&dashboardPage, IDC_TITLE_INDOOR, 6},    {&dashboardPage, IDC_CAPTION_WIND_GUST, 13},
    {&dashboardPage, IDC_CAPTION_PRESSURE, 18}, {&dashboardPage, IDC_LAST_READ_LABEL, 58},
    {&setupPage, IDC_TITLE_UNITS, 23},        {&setupPage, IDC_PRESSURE_UNIT_LABEL, 25},
    {&setupPage, IDC_STATION_ID_LABEL, 29},   {&setupPage, IDC_CHANNEL_SET_LABEL, 47},
    {&setupPage, IDC_AUTO_UPLOAD, 34},        {&statusBar, IDC_LOGGER_LABEL, 54},
    {&statusBar, IDC_CONNECTION_TEXT, 56},
};

void expectLanguage(std::uint32_t table)
{
    for (const Relabelled& label : RELABELLED)
        EXPECT_EQ(AppTest::textOf(*label.dialog, label.control), languageTableText(table, label.key))
            << "control " << label.control << ", l" << label.key;
}

HFONT fontOf(HWND dialog, int id)
{
    return reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, id, WM_GETFONT, 0, 0));
}

TEST_F(MainWindowTest, TheLanguageListHoldsEachLanguageInItsOwnNameInTableOrder)
{
    start();
    ASSERT_EQ(SendDlgItemMessageW(headerBar, IDC_LANGUAGE_LIST, CB_GETCOUNT, 0, 0), 5);
    const wchar_t* names[] = {L"English", L"Deutsch", L"Fran\u00e7ais", L"Italiano", L"Espa\u00f1ol"};
    for (int i = 0; i < 5; ++i) {
        wchar_t item[64] = L"";
        SendDlgItemMessageW(headerBar, IDC_LANGUAGE_LIST, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        EXPECT_STREQ(item, names[i]);
    }
}

TEST_F(MainWindowTest, ChoosingFrenchRelabelsAllFourDialogsAndEnglishSwitchesBack)
{
    start();
    expectLanguage(LANGUAGE_ENGLISH);
    EXPECT_EQ(fontOf(headerBar, IDC_TAB_SETUP), TabFont);
    EXPECT_EQ(fontOf(headerBar, IDC_TAB_DASHBOARD), TabFont);

    choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_FRENCH);
    EXPECT_EQ(language, LANGUAGE_FRENCH);
    ASSERT_STRNE(languageTableText(LANGUAGE_FRENCH, 5), languageTableText(LANGUAGE_ENGLISH, 5));
    expectLanguage(LANGUAGE_FRENCH);
    EXPECT_EQ(fontOf(headerBar, IDC_TAB_SETUP), SmallBoldFont);
    EXPECT_EQ(fontOf(headerBar, IDC_TAB_DASHBOARD), TabFont);

    choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_ENGLISH);
    expectLanguage(LANGUAGE_ENGLISH);
    EXPECT_EQ(fontOf(headerBar, IDC_TAB_SETUP), TabFont);

    // The choice is kept for the next start.
    choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_FRENCH);
    close();
    Bytes ls;
    ASSERT_TRUE(readRaw(L"ls", &ls));
    EXPECT_EQ(ls, (Bytes{2, 0, 0, 0}));
}

TEST_F(MainWindowTest, OnlyFrenchAndSpanishUseTheSmallTabFont)
{
    start();
    const HFONT expected[] = {TabFont, TabFont, SmallBoldFont, TabFont, SmallBoldFont};
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table) {
        choose(headerBar, IDC_LANGUAGE_LIST, static_cast<int>(table));
        EXPECT_EQ(fontOf(headerBar, IDC_TAB_SETUP), expected[table]) << "language " << table;
        expectLanguage(table);
    }
}

TEST_F(MainWindowTest, ALanguageFileThatCannotBeWrittenLeavesItsTableEmptyAndTheProgramRuns)
{
    // A folder where the French file belongs: the file cannot be written.
    ASSERT_TRUE(CreateDirectoryW(tempPath(L"france1.ini").c_str(), nullptr));
    start();
    EXPECT_STREQ(languageTableText(LANGUAGE_FRENCH, 1), L"");
    EXPECT_STREQ(languageTableText(LANGUAGE_FRENCH, 4), L"");
    EXPECT_STREQ(languageTableText(LANGUAGE_GERMAN, 1), L"Deutsch");
    ASSERT_EQ(SendDlgItemMessageW(headerBar, IDC_LANGUAGE_LIST, CB_GETCOUNT, 0, 0), 5);

    choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_FRENCH);
    EXPECT_EQ(language, LANGUAGE_FRENCH);
    EXPECT_EQ(textOf(headerBar, IDC_TAB_DASHBOARD), L"");
    EXPECT_EQ(textOf(dashboardPage, IDC_TITLE_INDOOR), L"");
    EXPECT_EQ(textOf(statusBar, IDC_CONNECTION_TEXT), L"");
    EXPECT_TRUE(IsWindow(mainWindow));

    choose(headerBar, IDC_LANGUAGE_LIST, LANGUAGE_ITALIAN);
    expectLanguage(LANGUAGE_ITALIAN);
    EXPECT_EQ(close(), 0);
}

// ---- shutdown -----------------------------------------------------------------------

TEST_F(MainWindowTest, ClosingReleasesTheSharedObjectsAndPostsQuitWithZero)
{
    start();
    EXPECT_NE(pageBrush, nullptr);
    EXPECT_NE(SmallBoldFont, nullptr);
    EXPECT_EQ(close(), 0);
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(pageBrush, nullptr);
    EXPECT_EQ(TitleFont, nullptr);
    EXPECT_EQ(SmallBoldFont, nullptr);
    EXPECT_EQ(statusBar, nullptr);
    EXPECT_EQ(notificationHandle, nullptr);
    EXPECT_EQ(stationDevice, nullptr);
}

} // namespace
