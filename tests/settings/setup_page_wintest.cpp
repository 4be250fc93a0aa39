// The export & setup page's choices on the real page in the real main
// window: unit combo boxes, the pressure caption, the service and its
// credentials, the period and data set boxes, the Export button, the
// bitmap buttons and the language.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/language_tables.h"
#include "export/export_job.h"
#include "link/commands.h"
#include "link/messages.h"
#include "readings/units.h"
#include "resources/resource_ids.h"
#include "tests/settings/setup_page_fixture_win.h"
#include "tests/support/test_window_win.h"

namespace {

using namespace setup_page_test;

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

const int UNIT_COMBOS[] = {IDC_TEMPERATURE_UNIT, IDC_RAIN_UNIT,     IDC_PRESSURE_UNIT,
                           IDC_WIND_UNIT,        IDC_PRESSURE_TYPE, IDC_DIRECTION_UNIT};
const int DATE_EDITS[] = {IDC_START_YEAR, IDC_START_MONTH, IDC_START_DAY, IDC_END_YEAR, IDC_END_MONTH, IDC_END_DAY};

std::wstring item(int combo, int index)
{
    wchar_t text[64] = L"";
    if (SendDlgItemMessageW(setupPage, combo, CB_GETLBTEXTLEN, index, 0) >= 64)
        return L"<too long>";
    SendDlgItemMessageW(setupPage, combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    return text;
}

std::vector<std::wstring> items(int combo)
{
    std::vector<std::wstring> all;
    const LRESULT count = SendDlgItemMessageW(setupPage, combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        all.push_back(item(combo, i));
    return all;
}

std::wstring chosen(int combo)
{
    const int index = static_cast<int>(SendDlgItemMessageW(setupPage, combo, CB_GETCURSEL, 0, 0));
    return index < 0 ? L"<none>" : item(combo, index);
}

bool editReadOnly(int combo)
{
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    if (!GetComboBoxInfo(GetDlgItem(setupPage, combo), &info) || !info.hwndItem)
        return false;
    return (GetWindowLongW(info.hwndItem, GWL_STYLE) & ES_READONLY) != 0;
}

using UnitsTest = SetupPageTest;
using ServiceTest = SetupPageTest;
using ExportPanelTest = SetupPageTest;
using BitmapButtonTest = SetupPageTest;

// ---- units ---------------------------------------------------------------------------

TEST_F(UnitsTest, AFirstStartShowsTheDefaultUnitsWithTheirItemsAndNoUploadResult)
{
    start();
    EXPECT_EQ(chosen(IDC_TEMPERATURE_UNIT), L"\u00B0C");
    EXPECT_EQ(chosen(IDC_RAIN_UNIT), L"mm");
    EXPECT_EQ(chosen(IDC_PRESSURE_UNIT), L"hPa");
    EXPECT_EQ(chosen(IDC_WIND_UNIT), L"km/h");
    EXPECT_EQ(chosen(IDC_PRESSURE_TYPE), L"Rel");
    EXPECT_EQ(chosen(IDC_DIRECTION_UNIT), L"16");

    // In the order of their codes, whatever the template's sort style says.
    EXPECT_EQ(items(IDC_TEMPERATURE_UNIT), (std::vector<std::wstring>{L"\u00B0C", L"\u00B0F"}));
    EXPECT_EQ(items(IDC_RAIN_UNIT), (std::vector<std::wstring>{L"mm", L"in"}));
    EXPECT_EQ(items(IDC_PRESSURE_UNIT), (std::vector<std::wstring>{L"hPa", L"mmHg", L"inHg"}));
    EXPECT_EQ(items(IDC_WIND_UNIT), (std::vector<std::wstring>{L"mph", L"m/s", L"km/h", L"knots"}));
    EXPECT_EQ(items(IDC_PRESSURE_TYPE), (std::vector<std::wstring>{L"Abs", L"Rel"}));
    EXPECT_EQ(items(IDC_DIRECTION_UNIT), (std::vector<std::wstring>{L"16", L"360\u00B0"}));
    EXPECT_EQ(items(IDC_SERVICE), (std::vector<std::wstring>{L"Weather Underground", L"Weathercloud"}));
    EXPECT_EQ(selection(IDC_SERVICE), 0);
    for (int id : UNIT_COMBOS)
        EXPECT_TRUE(editReadOnly(id)) << id;
    EXPECT_TRUE(editReadOnly(IDC_SERVICE));

    EXPECT_FALSE(shown(control(IDC_UPLOAD_ICON)));
    EXPECT_FALSE(shown(control(IDC_UPLOAD_TEXT)));
    EXPECT_FALSE(checked(IDC_AUTO_UPLOAD));
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"");
    EXPECT_EQ(SendMessageW(control(IDC_STATION_ID), EM_GETLIMITTEXT, 0, 0), 64);
    EXPECT_EQ(SendMessageW(control(IDC_START_YEAR), EM_GETLIMITTEXT, 0, 0), 4);
    EXPECT_EQ(SendMessageW(control(IDC_END_DAY), EM_GETLIMITTEXT, 0, 0), 2);
}

TEST_F(UnitsTest, EveryComboStoresItsIndexOnAnyNotificationAndTheRegistryOnlyAtExit)
{
    start();
    // Opening the list, focus coming and going: each stores what is selected.
    const WORD notifications[] = {CBN_DROPDOWN, CBN_SETFOCUS, CBN_KILLFOCUS, CBN_CLOSEUP, CBN_SELCHANGE, CBN_EDITUPDATE};
    const int indexes[] = {1, 1, 2, 0, 0, 1};
    for (int i = 0; i < 6; ++i)
        choose(setupPage, UNIT_COMBOS[i], indexes[i], notifications[i]);
    const UnitSettings now = currentUnitSettings();
    EXPECT_EQ(now.temperatureUnit, 1);
    EXPECT_EQ(now.rainUnit, 1);
    EXPECT_EQ(now.pressureUnit, 2);
    EXPECT_EQ(now.windUnit, 0);
    EXPECT_EQ(now.pressureType, 0);
    EXPECT_EQ(now.directionUnit, 1);

    Bytes unit;
    EXPECT_FALSE(readRaw(L"unit", &unit)); // in memory only while the page lives
    close();
    ASSERT_TRUE(readRaw(L"unit", &unit));
    EXPECT_EQ(unit, (Bytes{1, 1, 2, 0, 0, 1, 0, 0, 0, 0, 0, 0}));

    // The next start selects them again.
    start();
    EXPECT_EQ(chosen(IDC_TEMPERATURE_UNIT), L"\u00B0F");
    EXPECT_EQ(chosen(IDC_WIND_UNIT), L"mph");
    EXPECT_EQ(chosen(IDC_DIRECTION_UNIT), L"360\u00B0");
}

TEST_F(UnitsTest, ThePressureTypeRetitlesTheDashboardInFixedEnglishInAnyLanguage)
{
    start();
    for (std::uint32_t shownLanguage : {LANGUAGE_ENGLISH, LANGUAGE_GERMAN, LANGUAGE_ITALIAN}) {
        choose(headerBar, IDC_LANGUAGE_LIST, static_cast<int>(shownLanguage));
        choose(setupPage, IDC_PRESSURE_TYPE, 0);
        EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), L"Absolute Pressure") << shownLanguage;
        choose(setupPage, IDC_PRESSURE_TYPE, 1, CBN_DROPDOWN);
        EXPECT_EQ(textOf(dashboardPage, IDC_CAPTION_PRESSURE), L"Relative Pressure") << shownLanguage;
    }
}

// ---- service and credentials ---------------------------------------------------------

TEST_F(ServiceTest, SwitchingShowsTheOtherServicesStoredCredentialsEvenEmptyAndDropsTypedText)
{
    writeRaw(L"Id", textValue(L"WU-ID", 128));
    writeRaw(L"Key", textValue(L"wu-key", 128));
    writeRaw(L"Id1", textValue(L"WC-ID", 128));
    start();
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"WU-ID");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY), L"wu-key");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), L"Station ID");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY_LABEL), L"Station key");

    type(IDC_STATION_ID, L"typed, never stored");
    // Only a real change of selection switches the service.
    choose(setupPage, IDC_SERVICE, 1, CBN_DROPDOWN);
    EXPECT_EQ(selectedService, 0u);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"typed, never stored");

    choose(setupPage, IDC_SERVICE, 1);
    EXPECT_EQ(selectedService, 1u);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"WC-ID");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY), L""); // none stored: the edit is emptied
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), L"ID");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY_LABEL), L"Key");

    choose(setupPage, IDC_SERVICE, 0);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID), L"WU-ID");
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY), L"wu-key");
}

TEST_F(ServiceTest, TheLabelsAndTheResultTextFollowTheLanguage)
{
    start();
    choose(setupPage, IDC_SERVICE, 1);
    type(IDC_STATION_ID, L"wc");
    type(IDC_STATION_KEY, L"key");
    toggle(IDC_AUTO_UPLOAD);
    SendMessageW(setupPage, WM_UPLOAD_OK, 0, 0);
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), L"UPLOAD");

    choose(headerBar, IDC_LANGUAGE_LIST, static_cast<int>(LANGUAGE_GERMAN));
    EXPECT_EQ(textOf(setupPage, IDC_UPLOAD_TEXT), languageTableText(LANGUAGE_GERMAN, 35));
    EXPECT_TRUE(shown(control(IDC_UPLOAD_TEXT)));
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), languageTableText(LANGUAGE_GERMAN, 31));
    // The channel boxes keep their template text.
    EXPECT_EQ(textOf(setupPage, IDC_DATA_SET_CHANNEL3), L"CH3");

    choose(setupPage, IDC_SERVICE, 0);
    EXPECT_EQ(textOf(setupPage, IDC_STATION_ID_LABEL), languageTableText(LANGUAGE_GERMAN, 29));
    EXPECT_EQ(textOf(setupPage, IDC_STATION_KEY_LABEL), languageTableText(LANGUAGE_GERMAN, 30));
}

// ---- period, data sets and the Export button -----------------------------------------

TEST_F(ExportPanelTest, WholePeriodEmptiesAndLocksTheDatesAndClearingItLeavesThemEmptyAndOpen)
{
    start();
    const wchar_t* typed[] = {L"2024", L"5", L"1", L"2024", L"6", L"30"};
    for (int i = 0; i < 6; ++i)
        type(DATE_EDITS[i], typed[i]);

    toggle(IDC_WHOLE_PERIOD);
    for (int id : DATE_EDITS) {
        EXPECT_EQ(textOf(setupPage, id), L"") << id;
        EXPECT_FALSE(enabled(id)) << id;
    }
    toggle(IDC_WHOLE_PERIOD);
    for (int id : DATE_EDITS) {
        EXPECT_EQ(textOf(setupPage, id), L"") << id;
        EXPECT_TRUE(enabled(id)) << id;
    }
}

TEST_F(ExportPanelTest, SelectAllAndClearAllSetTheFifteenDataSetsButNotWholePeriod)
{
    start();
    for (bool whole : {false, true}) {
        CheckDlgButton(setupPage, IDC_WHOLE_PERIOD, whole ? BST_CHECKED : BST_UNCHECKED);
        click(setupPage, IDC_SELECT_ALL);
        for (int id = IDC_DATA_SET_PRESSURE; id <= IDC_DATA_SET_CHANNEL7; ++id)
            EXPECT_TRUE(checked(id)) << id;
        EXPECT_EQ(checked(IDC_WHOLE_PERIOD), whole);
        click(setupPage, IDC_CLEAR_ALL);
        for (int id = IDC_DATA_SET_PRESSURE; id <= IDC_DATA_SET_CHANNEL7; ++id)
            EXPECT_FALSE(checked(id)) << id;
        EXPECT_EQ(checked(IDC_WHOLE_PERIOD), whole);
    }
}

TEST_F(ExportPanelTest, ExportIsIgnoredWithoutAConsole)
{
    start();
    CheckDlgButton(setupPage, IDC_WHOLE_PERIOD, BST_CHECKED);
    saveDialogName = tempPath(L"never.csv");
    click(setupPage, IDC_EXPORT);
    EXPECT_EQ(saveDialogCalls, 0);
    EXPECT_EQ(exportPath[0], L'\0');
}

TEST_F(ExportPanelTest, ExportIsIgnoredWhileADownloadRunsAndOtherwiseRequestsTheHistory)
{
    start(true);
    CheckDlgButton(setupPage, IDC_WHOLE_PERIOD, BST_CHECKED);
    const std::wstring target = tempPath(L"history.csv");
    saveDialogName = target;

    historyActive = 1;
    click(setupPage, IDC_EXPORT);
    EXPECT_EQ(saveDialogCalls, 0);

    historyActive = 0;
    click(setupPage, IDC_EXPORT);
    EXPECT_EQ(saveDialogCalls, 1);
    EXPECT_EQ(std::wstring(exportPath), target);
    EXPECT_EQ(exportRequest.dataSets.wholePeriod, 1u);
    // The console hears the request for its history.
    bool asked = false;
    CommandReport command{};
    while (!asked && receiveCommand(console, command, WAIT_MS))
        asked = command == CMD_READ_HISTORY;
    EXPECT_TRUE(asked);
}

// ---- the bitmap buttons ------------------------------------------------------------

struct Pixels {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* bits = nullptr;
    int width = 0;
    int height = 0;

    Pixels(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* memory = nullptr;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
        bits = static_cast<std::uint32_t*>(memory);
        previous = SelectObject(dc, bitmap);
    }
    ~Pixels()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    std::vector<std::uint32_t> rgb() const
    {
        GdiFlush();
        std::vector<std::uint32_t> all(bits, bits + width * height);
        for (std::uint32_t& pixel : all)
            pixel &= 0x00FFFFFF;
        return all;
    }
};

// A bitmap resource as 32-bit top-down pixels.
std::vector<std::uint32_t> resourcePixels(int id)
{
    const HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
    if (!bitmap)
        return {};
    Pixels copy(90, 28);
    const HDC source = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(source, bitmap);
    BitBlt(copy.dc, 0, 0, 90, 28, source, 0, 0, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    DeleteObject(bitmap);
    return copy.rgb();
}

// What the page draws for button `id` into a 90 x 28 item.
std::vector<std::uint32_t> drawn(int id, bool pressed)
{
    Pixels target(90, 28);
    RECT all{0, 0, 90, 28};
    FillRect(target.dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = static_cast<UINT>(id);
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = pressed ? ODS_SELECTED : 0;
    item.hwndItem = GetDlgItem(setupPage, id);
    item.hDC = target.dc;
    item.rcItem = all;
    SendMessageW(setupPage, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
    return target.rgb();
}

TEST_F(BitmapButtonTest, EachButtonDrawsTheBitmapOfTheLanguageAndState)
{
    struct Row {
        std::uint32_t language;
        int bitmaps[3][2];
    };
    const Row rows[] = {
        {LANGUAGE_ENGLISH, {{170, 171}, {177, 178}, {175, 176}}},
        {LANGUAGE_GERMAN, {{273, 274}, {275, 276}, {277, 278}}},
        {LANGUAGE_FRENCH, {{267, 268}, {269, 270}, {271, 272}}},
        {LANGUAGE_ITALIAN, {{261, 262}, {263, 264}, {265, 266}}},
        {LANGUAGE_SPANISH, {{237, 238}, {239, 240}, {241, 242}}},
    };
    const int buttons[] = {IDC_SELECT_ALL, IDC_CLEAR_ALL, IDC_EXPORT};
    start();
    for (const Row& row : rows) {
        choose(headerBar, IDC_LANGUAGE_LIST, static_cast<int>(row.language));
        for (int b = 0; b < 3; ++b)
            for (int pressed = 0; pressed < 2; ++pressed) {
                const std::vector<std::uint32_t> expected = resourcePixels(row.bitmaps[b][pressed]);
                ASSERT_EQ(expected.size(), 90u * 28u) << row.bitmaps[b][pressed];
                EXPECT_TRUE(drawn(buttons[b], pressed != 0) == expected)
                    << "language " << row.language << " button " << buttons[b] << " pressed " << pressed;
            }
    }
    // Pressed and normal differ, and every bitmap is different.
    EXPECT_NE(resourcePixels(170), resourcePixels(171));
    EXPECT_NE(resourcePixels(175), resourcePixels(277));

    // Any other item is left to its own drawing.
    const std::vector<std::uint32_t> untouched = drawn(IDC_AUTO_UPLOAD, false);
    for (std::uint32_t pixel : untouched)
        ASSERT_EQ(pixel, 0u);
}

} // namespace
