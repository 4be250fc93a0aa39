// The resources linked into the program: the four child dialogs with the
// controls the pages rely on, the five language tables byte for byte, the
// string table and the images.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

HINSTANCE module()
{
    return GetModuleHandleW(nullptr);
}

// ---- language resources ----------------------------------------------------------

struct Language {
    const wchar_t* section; // also the resource type, looked up as the code does
    int id;
    const wchar_t* ownName; // l1: the entry of the language list
    bool smallTabFont;      // the long second tab title uses SmallBoldFont
};

const Language LANGUAGES[] = {
    {L"english", IDR_LANGUAGE_ENGLISH, L"English", false},
    {L"germany", IDR_LANGUAGE_GERMAN, L"Deutsch", false},
    {L"france", IDR_LANGUAGE_FRENCH, L"Fran\u00e7ais", true},
    {L"italy", IDR_LANGUAGE_ITALIAN, L"Italiano", false},
    {L"spanish", IDR_LANGUAGE_SPANISH, L"Espa\u00f1ol", true},
};
constexpr int KEY_COUNT = 69;

const wchar_t* const ENGLISH[KEY_COUNT] = {
    L"English", L"Language", L"SETUP", L"DASHBOARD", L"EXPORT && SETUP", L"INDOOR", L"OUTDOOR",
    L"Temperature", L"Humidity", L"WIND", L"Speed", L"Direction", L"Gust", L"Rain", L"Daily Rainfall",
    L"Rain Rate", L"INDEX", L"Relative Pressure", L"Absolute Pressure", L"UV Index", L"Outdoor Dew Point",
    L"Outdoor Heat Index", L"UNIT SETUP", L"Type of air pressure", L"pressure\t", L"Wind speed",
    L"Wind direction", L"WEATHER SERVER SETUP", L"Station ID", L"Station key", L"ID", L"Key", L"Password",
    L"Auto Upload", L"UPLOAD", L"FAIL", L"DATA EXPORT SETUP", L"DATA PERIOD", L"Start Date", L"End Date",
    L"DATA SET", L"Whole period", L"Barometric pressure", L"Rain data", L"Indoor temperature && humidity",
    L"Outdoor temperature && humidity", L"Outdoor channel temperature & humidity", L"Wind data",
    L"Select All", L"Clear All", L"Export", L"Version:", L"Exporting", L"Logger", L"USB connected",
    L"No connection", L"Connection error", L"Last data read at", L"Date", L"Time", L"Wind chill",
    L"Daily rainfall", L"Weekly rainfall", L"Monthly rainfall", L"Help",
    L"Please select data period and data set", L"Missing station ID", L"Missing station key",
    L"Missing password",
};

struct LanguageBytes {
    const std::uint8_t* data = nullptr;
    DWORD size = 0;
};

LanguageBytes languageBytes(const Language& language)
{
    HRSRC found = FindResourceW(module(), MAKEINTRESOURCEW(language.id), language.section);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(module(), found);
    return {static_cast<const std::uint8_t*>(LockResource(loaded)), SizeofResource(module(), found)};
}

// The resource's text after the byte-order mark, as UTF-16 (wchar_t is
// UTF-16 on Windows).
std::wstring languageText(const LanguageBytes& bytes)
{
    std::wstring text;
    for (DWORD i = 2; i + 1 < bytes.size; i += 2)
        text.push_back(static_cast<wchar_t>(bytes.data[i] | bytes.data[i + 1] << 8));
    return text;
}

// Lines without their CR LF; `badBreaks` counts a CR or LF that is not part
// of a CR LF pair, and `unterminated` whether text follows the last CR LF.
struct Lines {
    std::vector<std::wstring> lines;
    int badBreaks = 0;
    bool unterminated = false;
};

Lines splitLines(const std::wstring& text)
{
    Lines result;
    std::wstring line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') {
            result.lines.push_back(line);
            line.clear();
            ++i;
        } else if (text[i] == L'\r' || text[i] == L'\n') {
            ++result.badBreaks;
        } else {
            line.push_back(text[i]);
        }
    }
    if (!line.empty()) {
        result.unterminated = true;
        result.lines.push_back(line);
    }
    return result;
}

// Texts of l1..l69, in file order; empty when the layout is broken (the
// layout test says why).
std::vector<std::wstring> languageTable(const Language& language)
{
    const LanguageBytes bytes = languageBytes(language);
    if (!bytes.data)
        return {};
    const Lines split = splitLines(languageText(bytes));
    if (split.lines.size() != KEY_COUNT + 1)
        return {};
    std::vector<std::wstring> texts;
    for (int n = 1; n <= KEY_COUNT; ++n) {
        const std::wstring prefix = L"l" + std::to_wstring(n) + L"=";
        const std::wstring& line = split.lines[n];
        if (line.compare(0, prefix.size(), prefix) != 0)
            return {};
        texts.push_back(line.substr(prefix.size()));
    }
    return texts;
}

TEST(LanguageResources, AreUtf16WithByteOrderMarkCrLfLinesSectionAndKeysInOrder)
{
    for (const Language& language : LANGUAGES) {
        SCOPED_TRACE(language.section);
        const LanguageBytes bytes = languageBytes(language);
        ASSERT_NE(bytes.data, nullptr) << "resource not found by its section name as type";
        ASSERT_GE(bytes.size, 4u);
        EXPECT_EQ(bytes.data[0], 0xFF);
        EXPECT_EQ(bytes.data[1], 0xFE);
        EXPECT_EQ(bytes.size % 2, 0u) << "odd byte count: not UTF-16";

        const Lines split = splitLines(languageText(bytes));
        EXPECT_EQ(split.badBreaks, 0) << "a line break that is not CR LF";
        EXPECT_FALSE(split.unterminated);
        ASSERT_EQ(split.lines.size(), static_cast<std::size_t>(KEY_COUNT + 1));
        EXPECT_EQ(split.lines[0], L"[" + std::wstring(language.section) + L"]");
        for (int n = 1; n <= KEY_COUNT; ++n) {
            const std::wstring prefix = L"l" + std::to_wstring(n) + L"=";
            EXPECT_EQ(split.lines[n].compare(0, prefix.size(), prefix), 0)
                << "line " << n << " should hold key l" << n;
        }
    }
}

TEST(LanguageResources, TypeNamesMatchWithoutRegardToCase)
{
    EXPECT_NE(FindResourceW(module(), MAKEINTRESOURCEW(IDR_LANGUAGE_ENGLISH), L"ENGLISH"), nullptr);
    EXPECT_NE(FindResourceW(module(), MAKEINTRESOURCEW(IDR_LANGUAGE_SPANISH), L"Spanish"), nullptr);
    // Each table is filed under its own type only.
    EXPECT_EQ(FindResourceW(module(), MAKEINTRESOURCEW(IDR_LANGUAGE_GERMAN), L"english"), nullptr);
}

TEST(LanguageResources, EnglishTextsAreExact)
{
    const std::vector<std::wstring> texts = languageTable(LANGUAGES[0]);
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(KEY_COUNT));
    for (int n = 1; n <= KEY_COUNT; ++n)
        EXPECT_EQ(texts[n - 1], ENGLISH[n - 1]) << "key l" << n;
}

TEST(LanguageResources, TranslationsAreCompleteAndKeepTheControlEscapes)
{
    for (const Language& language : LANGUAGES) {
        SCOPED_TRACE(language.section);
        const std::vector<std::wstring> texts = languageTable(language);
        ASSERT_EQ(texts.size(), static_cast<std::size_t>(KEY_COUNT));
        EXPECT_EQ(texts[0], language.ownName);
        // The pressure unit label ends with a tab in every language.
        ASSERT_FALSE(texts[24].empty());
        EXPECT_EQ(texts[24].back(), L'\t');
        if (language.id == IDR_LANGUAGE_ENGLISH)
            continue;

        int translated = 0;
        for (int n = 1; n <= KEY_COUNT; ++n) {
            const std::wstring& text = texts[n - 1];
            EXPECT_FALSE(text.empty()) << "key l" << n;
            translated += text != ENGLISH[n - 1];
            // A lone "&" would underline the next letter and vanish itself.
            for (std::size_t i = 0; i < text.size(); ++i) {
                if (text[i] != L'&')
                    continue;
                EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == L'&') << "lone & in l" << n;
                ++i;
            }
        }
        // "ID", "INDEX", "Version:" and a few more may well stay as they are.
        EXPECT_GE(translated, 55) << "too many texts left in English";
        for (int n : {5, 45, 46})
            EXPECT_NE(texts[n - 1].find(L"&&"), std::wstring::npos) << "key l" << n;
    }
}

TEST(LanguageResources, ProfileReaderReadsTheResourceWrittenToAFile)
{
    wchar_t directory[MAX_PATH];
    ASSERT_NE(GetTempPathW(MAX_PATH, directory), 0u);
    for (const Language& language : LANGUAGES) {
        SCOPED_TRACE(language.section);
        const LanguageBytes bytes = languageBytes(language);
        ASSERT_NE(bytes.data, nullptr);
        const std::wstring path =
            std::wstring(directory) + L"aerovane-resources-test-" + language.section + L".ini";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        const BOOL wrote = WriteFile(file, bytes.data, bytes.size, &written, nullptr);
        CloseHandle(file);
        ASSERT_TRUE(wrote);

        wchar_t first[260] = L"";
        wchar_t last[260] = L"";
        GetPrivateProfileStringW(language.section, L"l1", L"", first, 260, path.c_str());
        GetPrivateProfileStringW(language.section, L"l69", L"", last, 260, path.c_str());
        DeleteFileW(path.c_str());
        EXPECT_STREQ(first, language.ownName);
        EXPECT_GT(std::wcslen(last), 5u);
    }
}

// ---- string table and images ----------------------------------------------------

TEST(StringTable, HoldsTheWindowTitleAndClassName)
{
    wchar_t text[100] = L"";
    EXPECT_EQ(LoadStringW(module(), IDS_WINDOW_TITLE, text, 100), 8);
    EXPECT_STREQ(text, L"AEROVANE");
    EXPECT_EQ(LoadStringW(module(), IDS_WINDOW_CLASS, text, 100), 4);
    EXPECT_STREQ(text, L"QVRA");
}

SIZE iconSize(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return {0, 0};
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

// Sizes the icon group offers, read from its directory resource, so an
// image that is only scaled by the loader does not count.
std::vector<int> iconGroupSizes(int id)
{
    HRSRC found = FindResourceW(module(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(14)); // RT_GROUP_ICON
    if (!found)
        return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module(), found)));
    const int count = data[4] | data[5] << 8;
    std::vector<int> sizes;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* entry = data + 6 + 14 * i; // GRPICONDIRENTRY
        sizes.push_back(entry[0] == 0 ? 256 : entry[0]);
        if (entry[1] != entry[0])
            sizes.push_back(-1); // not square
    }
    return sizes;
}

// The icon drawn onto white: returns the colour at (x, y).
COLORREF iconPixelOnWhite(HICON icon, int x, int y)
{
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 32, 32);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(memory, canvas);
    RECT all{0, 0, 32, 32};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(memory, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
    const COLORREF colour = GetPixel(memory, x, y);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    return colour;
}

TEST(Images, ProgramIconHasSixteenThirtyTwoAndFortyEightPixelImages)
{
    std::vector<int> sizes = iconGroupSizes(IDI_PROGRAM);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48}));
    for (int size : {16, 32, 48}) {
        HICON icon = static_cast<HICON>(LoadImageW(module(), MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        EXPECT_EQ(iconSize(icon).cx, size);
        DestroyIcon(icon);
    }
}

TEST(Images, PageIconsAreThirtyTwoPixelsWithTransparentCorners)
{
    for (int id : {IDI_RAIN_CLOUD, IDI_CONNECTED_DOT, IDI_THERMOMETER_DROP, IDI_SUN_INDEX, IDI_WIND_TURBINE,
                   IDI_CHANNEL_PREVIOUS, IDI_CHANNEL_NEXT, IDI_LOGGER, IDI_DISCONNECTED_DOT, IDI_UPLOAD_FAILED,
                   IDI_UPLOAD_DONE}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(iconGroupSizes(id), (std::vector<int>{32}));
        // As the static controls and LoadIconW load them.
        HICON icon = static_cast<HICON>(LoadImageW(module(), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
        ASSERT_NE(icon, nullptr);
        const SIZE size = iconSize(icon);
        EXPECT_EQ(size.cx, 32);
        EXPECT_EQ(size.cy, 32);
        // The page shows through around the picture.
        EXPECT_EQ(iconPixelOnWhite(icon, 0, 0), RGB(255, 255, 255));
        EXPECT_EQ(iconPixelOnWhite(icon, 31, 31), RGB(255, 255, 255));
        DestroyIcon(icon);
    }
}

TEST(Images, ConnectionDotIsBlueAndNoConnectionDotIsRed)
{
    HICON connected = LoadIconW(module(), MAKEINTRESOURCEW(IDI_CONNECTED_DOT));
    HICON absent = LoadIconW(module(), MAKEINTRESOURCEW(IDI_DISCONNECTED_DOT));
    ASSERT_NE(connected, nullptr);
    ASSERT_NE(absent, nullptr);
    const COLORREF blue = iconPixelOnWhite(connected, 17, 18);
    const COLORREF red = iconPixelOnWhite(absent, 17, 18);
    EXPECT_GT(GetBValue(blue), GetRValue(blue) + 100);
    EXPECT_GT(GetRValue(red), GetBValue(red) + 100);
}

SIZE bitmapSize(int id)
{
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(module(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
    if (!bitmap)
        return {0, 0};
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    DeleteObject(bitmap);
    return {info.bmWidth, info.bmHeight};
}

TEST(Images, BitmapsLoadWithTheirSizes)
{
    const SIZE help = bitmapSize(IDB_HELP);
    const SIZE pressed = bitmapSize(IDB_HELP_PRESSED);
    const SIZE cross = bitmapSize(IDB_CANCEL_CROSS);
    EXPECT_EQ(help.cx, 14);
    EXPECT_EQ(help.cy, 13);
    // The button stretches the pressed image from the normal one's size.
    EXPECT_EQ(pressed.cx, help.cx);
    EXPECT_EQ(pressed.cy, help.cy);
    EXPECT_EQ(cross.cx, 16);
    EXPECT_EQ(cross.cy, 16);
}

// ---- dialogs -----------------------------------------------------------------------

INT_PTR CALLBACK passiveDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

enum class Kind {
    Text,          // static text; `detail` is SS_LEFT, SS_RIGHT or SS_CENTER
    Icon,          // static icon
    Bitmap,        // static bitmap
    GroupBox,      // hidden panel outline
    OwnerDrawn,    // owner-drawn push button
    CheckBox,      // automatic check box
    DropDown,      // combo box with an edit field and a list
    DropDownList,  // combo box without edit field
    Edit,          // `detail` holds required ES_ bits
    GreyRectangle, // separator
};

struct ControlSpec {
    int id;
    Kind kind;
    DWORD detail = 0; // alignment or required bits, see Kind
    bool visible = true;
    DWORD extra = 0; // further style bits required (SS_NOTIFY, SS_CENTERIMAGE, ...)
};

constexpr DWORD LEFT_MIDDLE = SS_CENTERIMAGE;

const ControlSpec HEADER_CONTROLS[] = {
    {IDC_TAB_DASHBOARD, Kind::Text, SS_CENTER, true, SS_NOTIFY},
    {IDC_TAB_SETUP, Kind::Text, SS_CENTER, true, SS_NOTIFY},
    {IDC_HELP_BUTTON, Kind::OwnerDrawn},
    {IDC_LANGUAGE_LIST, Kind::DropDownList},
    {IDC_HEADER_SPARE, Kind::Text, SS_LEFT},
};

const ControlSpec STATUS_CONTROLS[] = {
    {IDC_LOGGER_LABEL, Kind::Text, SS_RIGHT},
    {IDC_LOGGER_AREA, Kind::Text, SS_RIGHT, false},
    {IDC_LOGGER_ICON, Kind::Icon},
    {IDC_CONNECTION_TEXT, Kind::Text, SS_RIGHT},
    {IDC_CONNECTION_DOT, Kind::Icon},
    {IDC_CANCEL_TRANSFER, Kind::Bitmap, 0, false, SS_NOTIFY},
    {IDC_PROGRESS_AREA, Kind::Text, SS_LEFT, false},
};

const ControlSpec DASHBOARD_CONTROLS[] = {
    {IDC_PANEL_INDOOR, Kind::GroupBox, 0, false},
    {IDC_PANEL_OUTDOOR, Kind::GroupBox, 0, false},
    {IDC_PANEL_WIND, Kind::GroupBox, 0, false},
    {IDC_PANEL_CHANNEL, Kind::GroupBox, 0, false},
    {IDC_PANEL_RAIN, Kind::GroupBox, 0, false},
    {IDC_PANEL_INDEX, Kind::GroupBox, 0, false},
    {IDC_LAST_READ_LABEL, Kind::Text, SS_RIGHT, true, SS_CENTERIMAGE},
    {IDC_LAST_READ_TIME, Kind::Text, SS_RIGHT, true, SS_CENTERIMAGE},
    {IDC_TITLE_INDOOR, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_TITLE_OUTDOOR, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_TITLE_WIND, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_TITLE_RAIN, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_TITLE_INDEX, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_TITLE_CHANNEL, Kind::Text, SS_CENTER, true, SS_CENTERIMAGE},
    {IDC_CAPTION_INDOOR_TEMP, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_INDOOR_HUMIDITY, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_OUTDOOR_TEMP, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_OUTDOOR_HUMIDITY, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_WIND_SPEED, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_WIND_GUST, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_WIND_DIRECTION, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_CHANNEL_TEMP, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_CHANNEL_HUMIDITY, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_DAILY_RAIN, Kind::Text, SS_LEFT},
    {IDC_CAPTION_RAIN_RATE, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_PRESSURE, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_DEW_POINT, Kind::Text, SS_LEFT},
    {IDC_CAPTION_UV_INDEX, Kind::Text, SS_LEFT, true, LEFT_MIDDLE},
    {IDC_CAPTION_HEAT_INDEX, Kind::Text, SS_LEFT},
    {IDC_VALUE_INDOOR_TEMP, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_INDOOR_HUMIDITY, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_OUTDOOR_TEMP, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_OUTDOOR_HUMIDITY, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_WIND_SPEED, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_WIND_GUST, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_WIND_DIRECTION, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_CHANNEL_TEMP, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_CHANNEL_HUMIDITY, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_DAILY_RAIN, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_RAIN_RATE, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_PRESSURE, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_DEW_POINT, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_UV_INDEX, Kind::Text, SS_LEFT, false},
    {IDC_VALUE_HEAT_INDEX, Kind::Text, SS_LEFT, false},
    {IDC_CHANNEL_PREVIOUS, Kind::Icon, 0, true, SS_NOTIFY},
    {IDC_CHANNEL_NEXT, Kind::Icon, 0, true, SS_NOTIFY},
    {IDC_REFRESH_BUTTON, Kind::OwnerDrawn},
};

const ControlSpec SETUP_CONTROLS[] = {
    {IDC_PANEL_EXPORT, Kind::GroupBox, 0, false},
    {IDC_PANEL_UNITS, Kind::GroupBox, 0, false},
    {IDC_PANEL_SERVER, Kind::GroupBox, 0, false},
    {IDC_VERSION_LABEL, Kind::Text, SS_RIGHT},
    {IDC_TITLE_UNITS, Kind::Text, SS_LEFT},
    {IDC_TITLE_SERVER, Kind::Text, SS_LEFT},
    {IDC_STATION_ID_LABEL, Kind::Text, SS_RIGHT},
    {IDC_STATION_KEY_LABEL, Kind::Text, SS_RIGHT},
    {IDC_STATION_ID, Kind::Edit, ES_AUTOHSCROLL},
    {IDC_STATION_KEY, Kind::Edit, ES_AUTOHSCROLL},
    {IDC_TEMPERATURE_UNIT_LABEL, Kind::Text, SS_LEFT},
    {IDC_TEMPERATURE_UNIT, Kind::DropDown},
    {IDC_RAIN_UNIT_LABEL, Kind::Text, SS_LEFT},
    {IDC_RAIN_UNIT, Kind::DropDown},
    {IDC_PRESSURE_UNIT_LABEL, Kind::Text, SS_LEFT},
    {IDC_PRESSURE_UNIT, Kind::DropDown},
    {IDC_WIND_UNIT_LABEL, Kind::Text, SS_LEFT},
    {IDC_WIND_UNIT, Kind::DropDown},
    {IDC_PRESSURE_TYPE_LABEL, Kind::Text, SS_LEFT},
    {IDC_PRESSURE_TYPE, Kind::DropDown},
    {IDC_DIRECTION_UNIT_LABEL, Kind::Text, SS_LEFT},
    {IDC_DIRECTION_UNIT, Kind::DropDown},
    {IDC_TITLE_EXPORT, Kind::Text, SS_LEFT},
    {IDC_SUBTITLE_PERIOD, Kind::Text, SS_LEFT},
    {IDC_START_DATE_LABEL, Kind::Text, SS_RIGHT},
    {IDC_END_DATE_LABEL, Kind::Text, SS_RIGHT},
    {IDC_START_YEAR, Kind::Edit, ES_NUMBER},
    {IDC_START_MONTH, Kind::Edit, ES_NUMBER},
    {IDC_START_DAY, Kind::Edit, ES_NUMBER},
    {IDC_END_YEAR, Kind::Edit, ES_NUMBER},
    {IDC_END_MONTH, Kind::Edit, ES_NUMBER},
    {IDC_END_DAY, Kind::Edit, ES_NUMBER},
    {IDC_WHOLE_PERIOD, Kind::CheckBox},
    {IDC_SUBTITLE_DATA_SET, Kind::Text, SS_LEFT},
    {IDC_DATA_SET_PRESSURE, Kind::CheckBox},
    {IDC_DATA_SET_OUTDOOR, Kind::CheckBox},
    {IDC_DATA_SET_INDOOR, Kind::CheckBox},
    {IDC_DATA_SET_DEW_POINT, Kind::CheckBox},
    {IDC_DATA_SET_WIND, Kind::CheckBox},
    {IDC_DATA_SET_HEAT_INDEX, Kind::CheckBox},
    {IDC_DATA_SET_RAIN, Kind::CheckBox},
    {IDC_DATA_SET_UV_INDEX, Kind::CheckBox},
    {IDC_CHANNEL_SET_LABEL, Kind::Text, SS_LEFT},
    {IDC_DATA_SET_CHANNEL1, Kind::CheckBox},
    {IDC_DATA_SET_CHANNEL2, Kind::CheckBox},
    {IDC_DATA_SET_CHANNEL3, Kind::CheckBox},
    {IDC_DATA_SET_CHANNEL4, Kind::CheckBox},
    {IDC_DATA_SET_CHANNEL5, Kind::CheckBox},
    {IDC_DATA_SET_CHANNEL6, Kind::CheckBox},
    {IDC_DATA_SET_CHANNEL7, Kind::CheckBox},
    {IDC_SELECT_ALL, Kind::OwnerDrawn, 0, true, BS_FLAT},
    {IDC_CLEAR_ALL, Kind::OwnerDrawn, 0, true, BS_FLAT},
    {IDC_EXPORT, Kind::OwnerDrawn, 0, true, BS_FLAT},
    {IDC_UPLOAD_ICON, Kind::Icon},
    {IDC_AUTO_UPLOAD, Kind::CheckBox},
    {IDC_SERVICE, Kind::DropDown},
    {IDC_UPLOAD_TEXT, Kind::Text, SS_RIGHT, false},
};

const wchar_t* expectedClass(Kind kind)
{
    switch (kind) {
    case Kind::Text:
    case Kind::Icon:
    case Kind::Bitmap:
    case Kind::GreyRectangle:
        return L"Static";
    case Kind::GroupBox:
    case Kind::OwnerDrawn:
    case Kind::CheckBox:
        return L"Button";
    case Kind::DropDown:
    case Kind::DropDownList:
        return L"ComboBox";
    case Kind::Edit:
        return L"Edit";
    }
    return L"";
}

void expectControl(HWND dialog, const ControlSpec& expected)
{
    SCOPED_TRACE(testing::Message() << "control " << expected.id);
    HWND control = GetDlgItem(dialog, expected.id);
    ASSERT_NE(control, nullptr) << "missing";
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    EXPECT_EQ(lstrcmpiW(className, expectedClass(expected.kind)), 0) << "class " << testing::PrintToString(std::wstring(className));

    const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    EXPECT_EQ((style & WS_VISIBLE) != 0, expected.visible) << "visibility";
    EXPECT_EQ(style & expected.extra, expected.extra) << "style bits";
    switch (expected.kind) {
    case Kind::Text:
        EXPECT_EQ(style & SS_TYPEMASK, expected.detail) << "alignment";
        break;
    case Kind::Icon:
        EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
        EXPECT_NE(SendMessageW(control, STM_GETICON, 0, 0), 0) << "no icon loaded";
        break;
    case Kind::Bitmap:
        EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_BITMAP));
        EXPECT_NE(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "no bitmap loaded";
        break;
    case Kind::GreyRectangle:
        EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_GRAYRECT));
        break;
    case Kind::GroupBox:
        EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_GROUPBOX));
        break;
    case Kind::OwnerDrawn:
        EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
        break;
    case Kind::CheckBox:
        EXPECT_EQ(style & BS_TYPEMASK, static_cast<DWORD>(BS_AUTOCHECKBOX));
        break;
    case Kind::DropDown:
        EXPECT_EQ(style & 3, static_cast<DWORD>(CBS_DROPDOWN));
        break;
    case Kind::DropDownList:
        EXPECT_EQ(style & 3, static_cast<DWORD>(CBS_DROPDOWNLIST));
        break;
    case Kind::Edit:
        EXPECT_EQ(style & expected.detail, expected.detail);
        break;
    }
}

class DialogTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // A hidden top-level window stands in for the main window.
        parent = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr, nullptr,
                                 module(), nullptr);
    }
    static void TearDownTestSuite()
    {
        DestroyWindow(parent);
        parent = nullptr;
    }
    void TearDown() override
    {
        for (HWND dialog : dialogs)
            DestroyWindow(dialog);
    }

    HWND create(int id)
    {
        HWND dialog = CreateDialogParamW(module(), MAKEINTRESOURCEW(id), parent, passiveDialogProc, 0);
        if (dialog)
            dialogs.push_back(dialog);
        return dialog;
    }

    // A dialog-unit rectangle in pixels of `dialog`.
    static RECT pixels(HWND dialog, int x, int y, int width, int height)
    {
        RECT r{x, y, x + width, y + height};
        MapDialogRect(dialog, &r);
        return r;
    }

    static RECT controlRect(HWND dialog, int id)
    {
        RECT r{};
        HWND control = GetDlgItem(dialog, id);
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    // The child dialog frame every template shares: child without caption,
    // Arial 11, the given size in dialog units.
    void expectChildDialog(HWND dialog, int width, int height, bool visible)
    {
        const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE((style & WS_CAPTION) == WS_CAPTION);
        EXPECT_EQ((style & WS_VISIBLE) != 0, visible);

        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, L"Arial");
        HDC screen = GetDC(nullptr);
        const int elevenPoints = -MulDiv(11, GetDeviceCaps(screen, LOGPIXELSY), 72);
        ReleaseDC(nullptr, screen);
        EXPECT_EQ(font.lfHeight, elevenPoints);

        RECT client{};
        GetClientRect(dialog, &client);
        const RECT expected = pixels(dialog, 0, 0, width, height);
        EXPECT_EQ(client.right, expected.right);
        EXPECT_EQ(client.bottom, expected.bottom);
    }

    template <std::size_t N>
    void expectControls(HWND dialog, const ControlSpec (&specs)[N])
    {
        for (const ControlSpec& expected : specs)
            expectControl(dialog, expected);
    }

    // Dialog creation converts position and size separately, so the right
    // edge is map(x) + map(width), not map(x + width).
    void expectRect(HWND dialog, int id, int x, int y, int width, int height)
    {
        const RECT actual = controlRect(dialog, id);
        const RECT origin = pixels(dialog, x, y, 0, 0);
        const RECT size = pixels(dialog, 0, 0, width, height);
        EXPECT_EQ(actual.left, origin.left) << "control " << id;
        EXPECT_EQ(actual.top, origin.top) << "control " << id;
        EXPECT_EQ(actual.right - actual.left, size.right) << "control " << id;
        EXPECT_EQ(actual.bottom - actual.top, size.bottom) << "control " << id;
    }

    static HWND parent;
    std::vector<HWND> dialogs;
};

HWND DialogTest::parent = nullptr;

TEST_F(DialogTest, HeaderBarHasTabsLanguageListAndHelpButton)
{
    HWND header = create(IDD_HEADER_BAR);
    ASSERT_NE(header, nullptr);
    expectChildDialog(header, 448, 16, true);
    expectControls(header, HEADER_CONTROLS);

    // The tab outline puts its separator at x = width of the second tab and
    // draws along its bottom and right edge: the first tab starts at the
    // left edge, both are equally wide, and none of those lines falls under
    // a tab, which would paint over it.
    const RECT a = controlRect(header, IDC_TAB_DASHBOARD);
    const RECT b = controlRect(header, IDC_TAB_SETUP);
    const LONG w = b.right - b.left;
    EXPECT_EQ(a.left, 0);
    EXPECT_EQ(a.right - a.left, w);
    EXPECT_LE(a.right, w);
    EXPECT_GT(b.left, w);
    EXPECT_GE(a.top, 2) << "the outline's top line at y = 1 must stay visible";
    RECT client{};
    GetClientRect(header, &client);
    EXPECT_LT(b.bottom, client.bottom);

    // The help bitmap is stretched onto the button: it should already be the
    // button's size so nothing is scaled.
    const RECT help = controlRect(header, IDC_HELP_BUTTON);
    const RECT helpUnits = pixels(header, 0, 0, 6, 6);
    EXPECT_EQ(help.right - help.left, helpUnits.right);
    EXPECT_EQ(help.bottom - help.top, helpUnits.bottom);
    EXPECT_EQ(bitmapSize(IDB_HELP).cx, helpUnits.right);
    EXPECT_EQ(bitmapSize(IDB_HELP).cy, helpUnits.bottom);
}

TEST_F(DialogTest, StatusBarShowsNoConnectionUntilTheConsoleArrives)
{
    HWND status = create(IDD_STATUS_BAR);
    ASSERT_NE(status, nullptr);
    expectChildDialog(status, 448, 16, true);
    expectControls(status, STATUS_CONTROLS);

    wchar_t text[64] = L"";
    GetDlgItemTextW(status, IDC_CONNECTION_TEXT, text, 64);
    EXPECT_STREQ(text, L"No connection");
    // The dot starts red: icon 168, as the main window sets it on removal.
    HICON dot = reinterpret_cast<HICON>(SendDlgItemMessageW(status, IDC_CONNECTION_DOT, STM_GETICON, 0, 0));
    ASSERT_NE(dot, nullptr);
    const COLORREF centre = iconPixelOnWhite(dot, 17, 18);
    EXPECT_GT(GetRValue(centre), GetBValue(centre) + 100);
}

TEST_F(DialogTest, DashboardHasEveryPanelCaptionValueAreaAndButton)
{
    HWND dashboard = create(IDD_DASHBOARD);
    ASSERT_NE(dashboard, nullptr);
    expectChildDialog(dashboard, 448, 240, true);
    expectControls(dashboard, DASHBOARD_CONTROLS);

    // The painters draw into these rectangles, so they must be where the
    // panels are.
    expectRect(dashboard, IDC_PANEL_INDOOR, 6, 16, 106, 108);
    expectRect(dashboard, IDC_PANEL_OUTDOOR, 116, 16, 106, 108);
    expectRect(dashboard, IDC_PANEL_WIND, 226, 16, 215, 108);
    expectRect(dashboard, IDC_PANEL_CHANNEL, 6, 128, 106, 108);
    expectRect(dashboard, IDC_PANEL_RAIN, 116, 128, 106, 108);
    expectRect(dashboard, IDC_PANEL_INDEX, 226, 128, 215, 108);
    expectRect(dashboard, IDC_VALUE_INDOOR_TEMP, 15, 57, 82, 18);
    expectRect(dashboard, IDC_VALUE_INDOOR_HUMIDITY, 16, 101, 82, 18);
    expectRect(dashboard, IDC_VALUE_OUTDOOR_TEMP, 129, 57, 82, 18);
    expectRect(dashboard, IDC_VALUE_OUTDOOR_HUMIDITY, 127, 101, 82, 18);
    expectRect(dashboard, IDC_VALUE_WIND_SPEED, 236, 57, 77, 18);
    expectRect(dashboard, IDC_VALUE_WIND_GUST, 236, 101, 77, 18);
    expectRect(dashboard, IDC_VALUE_WIND_DIRECTION, 365, 70, 49, 17);
    expectRect(dashboard, IDC_VALUE_CHANNEL_TEMP, 19, 169, 82, 18);
    expectRect(dashboard, IDC_VALUE_CHANNEL_HUMIDITY, 18, 214, 82, 18);
    expectRect(dashboard, IDC_VALUE_DAILY_RAIN, 127, 169, 90, 18);
    expectRect(dashboard, IDC_VALUE_RAIN_RATE, 127, 214, 89, 18);
    expectRect(dashboard, IDC_VALUE_PRESSURE, 238, 169, 82, 18);
    expectRect(dashboard, IDC_VALUE_DEW_POINT, 237, 214, 82, 18);
    expectRect(dashboard, IDC_VALUE_UV_INDEX, 374, 169, 30, 18);
    expectRect(dashboard, IDC_VALUE_HEAT_INDEX, 347, 214, 82, 18);
    expectRect(dashboard, IDC_REFRESH_BUTTON, 433, 5, 7, 7);

    wchar_t text[32] = L"";
    GetDlgItemTextW(dashboard, IDC_TITLE_CHANNEL, text, 32);
    EXPECT_STREQ(text, L"CH 1");

    // Six decorative icons without ids: 144, 152, 153 and 147 three times.
    int decorations = 0;
    for (HWND child = GetWindow(dashboard, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        if (GetDlgCtrlID(child) == IDC_STATIC && (style & SS_TYPEMASK) == SS_ICON &&
            SendMessageW(child, STM_GETICON, 0, 0) != 0)
            ++decorations;
    }
    EXPECT_EQ(decorations, 6);
}

TEST_F(DialogTest, SetupPageIsCreatedHiddenWithEveryControl)
{
    HWND setup = create(IDD_SETUP_PAGE);
    ASSERT_NE(setup, nullptr);
    expectChildDialog(setup, 448, 240, false);
    expectControls(setup, SETUP_CONTROLS);

    expectRect(setup, IDC_PANEL_EXPORT, 6, 76, 435, 160);
    expectRect(setup, IDC_PANEL_UNITS, 6, 3, 236, 71);
    expectRect(setup, IDC_PANEL_SERVER, 244, 3, 197, 71);

    // The data set boxes are 1217 to 1231 without a gap: Select All and
    // Clear All walk that range.
    for (int id = IDC_DATA_SET_PRESSURE; id <= IDC_DATA_SET_CHANNEL7; ++id) {
        HWND box = GetDlgItem(setup, id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX) << id;
    }
    wchar_t text[64] = L"";
    GetDlgItemTextW(setup, IDC_DATA_SET_INDOOR, text, 64);
    EXPECT_STREQ(text, L"Indoor temperature && humidity");
}

// ---- language texts fit the controls that show them ---------------------------------

enum class Font { Dialog, Title, Caption, Tab, SmallBold };

struct Label {
    int dialog;
    int control;
    int key;
    Font font;
    bool checkBox = false;
};

// Every control that shows a language text, with the font the pages give it.
const Label LABELS[] = {
    {IDD_HEADER_BAR, IDC_TAB_DASHBOARD, 4, Font::Tab},
    {IDD_STATUS_BAR, IDC_LOGGER_LABEL, 54, Font::Dialog},
    {IDD_STATUS_BAR, IDC_CONNECTION_TEXT, 55, Font::Dialog},
    {IDD_STATUS_BAR, IDC_CONNECTION_TEXT, 56, Font::Dialog},
    {IDD_DASHBOARD, IDC_TITLE_INDOOR, 6, Font::Title},
    {IDD_DASHBOARD, IDC_TITLE_OUTDOOR, 7, Font::Title},
    {IDD_DASHBOARD, IDC_TITLE_WIND, 10, Font::Title},
    {IDD_DASHBOARD, IDC_TITLE_RAIN, 14, Font::Title},
    {IDD_DASHBOARD, IDC_TITLE_INDEX, 17, Font::Title},
    {IDD_DASHBOARD, IDC_CAPTION_INDOOR_TEMP, 8, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_OUTDOOR_TEMP, 8, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_CHANNEL_TEMP, 8, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_INDOOR_HUMIDITY, 9, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_OUTDOOR_HUMIDITY, 9, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_CHANNEL_HUMIDITY, 9, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_WIND_SPEED, 11, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_WIND_GUST, 13, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_WIND_DIRECTION, 12, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_DAILY_RAIN, 15, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_RAIN_RATE, 16, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_PRESSURE, 18, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_PRESSURE, 19, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_DEW_POINT, 21, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_UV_INDEX, 20, Font::Caption},
    {IDD_DASHBOARD, IDC_CAPTION_HEAT_INDEX, 22, Font::Caption},
    {IDD_DASHBOARD, IDC_LAST_READ_LABEL, 58, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_TITLE_UNITS, 23, Font::Title},
    {IDD_SETUP_PAGE, IDC_TITLE_SERVER, 28, Font::Title},
    {IDD_SETUP_PAGE, IDC_TITLE_EXPORT, 37, Font::Title},
    {IDD_SETUP_PAGE, IDC_SUBTITLE_PERIOD, 38, Font::Tab},
    {IDD_SETUP_PAGE, IDC_SUBTITLE_DATA_SET, 41, Font::Tab},
    {IDD_SETUP_PAGE, IDC_TEMPERATURE_UNIT_LABEL, 8, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_PRESSURE_UNIT_LABEL, 25, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_PRESSURE_TYPE_LABEL, 24, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_RAIN_UNIT_LABEL, 14, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_WIND_UNIT_LABEL, 26, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_DIRECTION_UNIT_LABEL, 27, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_START_DATE_LABEL, 39, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_END_DATE_LABEL, 40, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_DATA_SET_PRESSURE, 43, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_OUTDOOR, 46, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_INDOOR, 45, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_DEW_POINT, 21, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_WIND, 48, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_HEAT_INDEX, 22, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_RAIN, 44, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_DATA_SET_UV_INDEX, 20, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_CHANNEL_SET_LABEL, 47, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_VERSION_LABEL, 52, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_AUTO_UPLOAD, 34, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_WHOLE_PERIOD, 42, Font::Dialog, true},
    {IDD_SETUP_PAGE, IDC_STATION_ID_LABEL, 29, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_STATION_ID_LABEL, 31, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_STATION_KEY_LABEL, 30, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_STATION_KEY_LABEL, 32, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_UPLOAD_TEXT, 35, Font::Dialog},
    {IDD_SETUP_PAGE, IDC_UPLOAD_TEXT, 36, Font::Dialog},
};

// The shared fonts as the header bar makes them (height, weight).
HFONT makeFont(HWND dialog, Font font)
{
    auto arial = [](int height, int weight) {
        return CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial");
    };
    switch (font) {
    case Font::Title:
        return arial(24, 700);
    case Font::Caption:
        return arial(22, FW_NORMAL);
    case Font::Tab:
        return arial(16, 600);
    case Font::SmallBold:
        return arial(15, 700);
    case Font::Dialog:
        break;
    }
    LOGFONTW dialogFont{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof dialogFont, &dialogFont);
    return CreateFontIndirectW(&dialogFont);
}

// Whether `text` fits the control: on one line for a check box, a
// vertically centred static or a hidden area the page draws into, else
// word-wrapped within its height. "&&" is measured as the one ampersand the
// control shows.
bool fits(HWND dialog, const Label& label, const std::wstring& rawText, std::wstring* why)
{
    std::wstring text = rawText;
    while (!text.empty() && text.back() == L'\t')
        text.pop_back(); // the profile reader drops trailing blanks
    HWND control = GetDlgItem(dialog, label.control);
    RECT area{};
    GetClientRect(control, &area);
    if (label.checkBox)
        area.right -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
    const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    const bool singleLine = label.checkBox || (style & SS_CENTERIMAGE) || !(style & WS_VISIBLE);

    HDC dc = GetDC(dialog);
    HFONT font = makeFont(dialog, label.font);
    HGDIOBJ old = SelectObject(dc, font);
    RECT needed{0, 0, area.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | (singleLine ? DT_SINGLELINE : DT_WORDBREAK));
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(dialog, dc);

    const bool ok = needed.right <= area.right && (singleLine || needed.bottom <= area.bottom);
    if (!ok)
        *why = L"needs " + std::to_wstring(needed.right) + L"x" + std::to_wstring(needed.bottom) + L", has " +
               std::to_wstring(area.right) + L"x" + std::to_wstring(area.bottom);
    return ok;
}

TEST_F(DialogTest, EveryLanguageTextFitsItsControl)
{
    const int ids[] = {IDD_HEADER_BAR, IDD_STATUS_BAR, IDD_DASHBOARD, IDD_SETUP_PAGE};
    HWND created[4] = {};
    for (int i = 0; i < 4; ++i)
        created[i] = create(ids[i]);
    auto dialogOf = [&](int id) {
        for (int i = 0; i < 4; ++i)
            if (ids[i] == id)
                return created[i];
        return static_cast<HWND>(nullptr);
    };
    for (const Language& language : LANGUAGES) {
        SCOPED_TRACE(language.section);
        const std::vector<std::wstring> texts = languageTable(language);
        ASSERT_EQ(texts.size(), static_cast<std::size_t>(KEY_COUNT));
        std::wstring why;
        for (const Label& label : LABELS) {
            HWND dialog = dialogOf(label.dialog);
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(fits(dialog, label, texts[label.key - 1], &why))
                << "l" << label.key << " in control " << label.control << ": " << testing::PrintToString(why);
        }
        // The second tab's title: SmallBoldFont where it is long.
        const Label tab{IDD_HEADER_BAR, IDC_TAB_SETUP, 5, language.smallTabFont ? Font::SmallBold : Font::Tab};
        EXPECT_TRUE(fits(dialogOf(IDD_HEADER_BAR), tab, texts[4], &why)) << testing::PrintToString(why);
        // The progress text at its longest, in the status bar's progress area.
        const Label progress{IDD_STATUS_BAR, IDC_PROGRESS_AREA, 53, Font::Dialog};
        EXPECT_TRUE(fits(dialogOf(IDD_STATUS_BAR), progress, texts[52] + L" 100% ....", &why))
            << testing::PrintToString(why);
    }
}

} // namespace
