// The resources linked into the program: the language tables, each exactly
// what its source in resources/languages/ makes; the string table and the
// images; and the four child dialogs, where every control the code drives is
// there as what the code takes it for, lies inside its dialog clear of its
// neighbours, and shows every text of every language whole in the font the
// program gives it.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/status_texts.h"
#include "dashboard/last_read_text.h"
#include "resources/resource_ids.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/arial_metrics_win.h"
#include "tests/support/source_tree_win.h"

namespace {

const auto* const arialCheck = ::testing::AddGlobalTestEnvironment(new ArialMetricsCheck);

HINSTANCE module()
{
    return GetModuleHandleW(nullptr);
}

// ---- language resources ----------------------------------------------------------

// In table order; each resource's type is its table's section name.
const int LANGUAGE_RESOURCES[LANGUAGE_COUNT] = {IDR_LANGUAGE_ENGLISH, IDR_LANGUAGE_GERMAN, IDR_LANGUAGE_FRENCH,
                                                IDR_LANGUAGE_ITALIAN, IDR_LANGUAGE_SPANISH};

const wchar_t* sectionOf(std::uint32_t table)
{
    return languageSection(static_cast<int>(table) + 1);
}

// The resource's bytes, looked up as the program looks them up.
Bytes languageResource(std::uint32_t table)
{
    HRSRC found = FindResourceW(module(), MAKEINTRESOURCEW(LANGUAGE_RESOURCES[table]), sectionOf(table));
    if (!found)
        return {};
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module(), found)));
    return Bytes(data, data + SizeofResource(module(), found));
}

// What the build should make of the table's source (UTF-8, LF lines, "\t"
// standing for a tab): UTF-16LE after a byte-order mark, CR LF lines.
Bytes madeFromSource(std::uint32_t table)
{
    const std::wstring section = sectionOf(table);
    const std::string path = "resources/languages/" + std::string(section.begin(), section.end()) + ".txt";
    const Bytes source = sourceFileBytes(path.c_str());
    std::string text;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '\\' && i + 1 < source.size() && source[i + 1] == 't') {
            text += '\t';
            ++i;
        } else if (source[i] == '\n') {
            text += "\r\n";
        } else {
            text += static_cast<char>(source[i]);
        }
    }
    std::wstring wide(text.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                    wide.data(), static_cast<int>(wide.size())));
    if (wide.empty())
        return {};
    Bytes bytes = {0xFF, 0xFE};
    for (wchar_t c : wide) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

// Lines after the byte-order mark without their CR LF; `badBreaks` counts a
// CR or LF that is not part of a CR LF pair, `unterminated` whether text
// follows the last CR LF.
struct Lines {
    std::vector<std::wstring> lines;
    int badBreaks = 0;
    bool unterminated = false;
};

Lines splitLines(const Bytes& bytes)
{
    std::wstring text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | bytes[i + 1] << 8));
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

// Texts of l1..l69 in file order; empty when the layout is broken (the
// layout test says why).
std::vector<std::wstring> languageTable(std::uint32_t table)
{
    const Lines split = splitLines(languageResource(table));
    if (split.lines.size() != LANGUAGE_KEY_COUNT + 1)
        return {};
    std::vector<std::wstring> texts;
    for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n) {
        const std::wstring prefix = L"l" + std::to_wstring(n) + L"=";
        const std::wstring& line = split.lines[n];
        if (line.compare(0, prefix.size(), prefix) != 0)
            return {};
        texts.push_back(line.substr(prefix.size()));
    }
    return texts;
}

TEST(LanguageResources, EachIsWhatItsSourceMakes)
{
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(sectionOf(table))));
        const Bytes resource = languageResource(table);
        const Bytes expected = madeFromSource(table);
        ASSERT_FALSE(resource.empty()) << "resource not found by its section name as type";
        ASSERT_FALSE(expected.empty()) << "source missing or not UTF-8";
        const auto differ = std::mismatch(resource.begin(), resource.end(), expected.begin(), expected.end());
        EXPECT_TRUE(differ.first == resource.end() && differ.second == expected.end())
            << "resource differs from its source at byte " << (differ.first - resource.begin()) << " of "
            << resource.size() << " (source makes " << expected.size() << ")";
    }
}

TEST(LanguageResources, AreIniFilesWithTheirSectionAndEveryKeyInOrder)
{
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table) {
        const std::wstring section = sectionOf(table);
        SCOPED_TRACE(testing::PrintToString(section));
        const Bytes bytes = languageResource(table);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xFE);
        EXPECT_EQ(bytes.size() % 2, 0u) << "odd byte count: not UTF-16";

        const Lines split = splitLines(bytes);
        EXPECT_EQ(split.badBreaks, 0) << "a line break that is not CR LF";
        EXPECT_FALSE(split.unterminated);
        ASSERT_EQ(split.lines.size(), static_cast<std::size_t>(LANGUAGE_KEY_COUNT + 1));
        EXPECT_EQ(split.lines[0], L"[" + section + L"]");
        for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n) {
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

TEST(LanguageResources, TranslationsAreCompleteAndKeepTheControlEscapes)
{
    const std::vector<std::wstring> english = languageTable(LANGUAGE_ENGLISH);
    ASSERT_EQ(english.size(), static_cast<std::size_t>(LANGUAGE_KEY_COUNT));
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(sectionOf(table))));
        const std::vector<std::wstring> texts = languageTable(table);
        ASSERT_EQ(texts.size(), static_cast<std::size_t>(LANGUAGE_KEY_COUNT));
        // The pressure unit label ends with a tab in every language.
        ASSERT_FALSE(texts[24].empty());
        EXPECT_EQ(texts[24].back(), L'\t');
        if (table == LANGUAGE_ENGLISH)
            continue;

        int translated = 0;
        for (int n = 1; n <= LANGUAGE_KEY_COUNT; ++n) {
            const std::wstring& text = texts[n - 1];
            EXPECT_FALSE(text.empty()) << "key l" << n;
            translated += text != english[n - 1];
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

// What the code takes a control for.
enum class Kind {
    Text,          // static text
    ClickableText, // static text that reports clicks (SS_NOTIFY)
    Area,          // hidden static the page draws into
    Icon,          // static icon
    ClickableIcon,
    CancelCross,  // hidden static bitmap that reports clicks
    Panel,        // hidden group box the page draws a frame around
    OwnerDrawn,   // push button the page draws
    CheckBox,     // automatic check box
    DropDown,     // combo box with an edit field
    DropDownList, // combo box without one
    Edit,         // scrolls sideways, so a text longer than the box fits
    NumberEdit,   // takes digits only
};

// Controls of one kind in one dialog.
struct Expected {
    Kind kind;
    std::vector<int> ids;
};

// Panels first: the dashboard's containment test takes them from here.
const std::vector<Expected> DASHBOARD_CONTROLS = {
    {Kind::Panel,
     {IDC_PANEL_INDOOR, IDC_PANEL_OUTDOOR, IDC_PANEL_WIND, IDC_PANEL_CHANNEL, IDC_PANEL_RAIN, IDC_PANEL_INDEX}},
    {Kind::Text,
     {IDC_LAST_READ_LABEL, IDC_LAST_READ_TIME, IDC_TITLE_INDOOR, IDC_TITLE_OUTDOOR, IDC_TITLE_WIND, IDC_TITLE_RAIN,
      IDC_TITLE_INDEX, IDC_TITLE_CHANNEL, IDC_CAPTION_INDOOR_TEMP, IDC_CAPTION_INDOOR_HUMIDITY,
      IDC_CAPTION_OUTDOOR_TEMP, IDC_CAPTION_OUTDOOR_HUMIDITY, IDC_CAPTION_WIND_SPEED, IDC_CAPTION_WIND_GUST,
      IDC_CAPTION_WIND_DIRECTION, IDC_CAPTION_CHANNEL_TEMP, IDC_CAPTION_CHANNEL_HUMIDITY, IDC_CAPTION_DAILY_RAIN,
      IDC_CAPTION_RAIN_RATE, IDC_CAPTION_PRESSURE, IDC_CAPTION_DEW_POINT, IDC_CAPTION_UV_INDEX,
      IDC_CAPTION_HEAT_INDEX}},
    {Kind::Area,
     {IDC_VALUE_INDOOR_TEMP, IDC_VALUE_INDOOR_HUMIDITY, IDC_VALUE_OUTDOOR_TEMP, IDC_VALUE_OUTDOOR_HUMIDITY,
      IDC_VALUE_WIND_SPEED, IDC_VALUE_WIND_GUST, IDC_VALUE_WIND_DIRECTION, IDC_VALUE_CHANNEL_TEMP,
      IDC_VALUE_CHANNEL_HUMIDITY, IDC_VALUE_DAILY_RAIN, IDC_VALUE_RAIN_RATE, IDC_VALUE_PRESSURE, IDC_VALUE_DEW_POINT,
      IDC_VALUE_UV_INDEX, IDC_VALUE_HEAT_INDEX}},
    {Kind::ClickableIcon, {IDC_CHANNEL_PREVIOUS, IDC_CHANNEL_NEXT}},
    {Kind::OwnerDrawn, {IDC_REFRESH_BUTTON}},
};

// The data set boxes, IDC_DATA_SET_PRESSURE to IDC_DATA_SET_CHANNEL7, have
// a test of their own.
const std::vector<Expected> SETUP_CONTROLS = {
    {Kind::Panel, {IDC_PANEL_EXPORT, IDC_PANEL_UNITS, IDC_PANEL_SERVER}},
    {Kind::Text,
     {IDC_VERSION_LABEL, IDC_TITLE_UNITS, IDC_TITLE_SERVER, IDC_STATION_ID_LABEL, IDC_STATION_KEY_LABEL,
      IDC_TEMPERATURE_UNIT_LABEL, IDC_RAIN_UNIT_LABEL, IDC_PRESSURE_UNIT_LABEL, IDC_WIND_UNIT_LABEL,
      IDC_PRESSURE_TYPE_LABEL, IDC_DIRECTION_UNIT_LABEL, IDC_TITLE_EXPORT, IDC_SUBTITLE_PERIOD,
      IDC_START_DATE_LABEL, IDC_END_DATE_LABEL, IDC_SUBTITLE_DATA_SET, IDC_CHANNEL_SET_LABEL}},
    {Kind::Area, {IDC_UPLOAD_TEXT}},
    {Kind::Icon, {IDC_UPLOAD_ICON}},
    {Kind::Edit, {IDC_STATION_ID, IDC_STATION_KEY}},
    {Kind::NumberEdit, {IDC_START_YEAR, IDC_START_MONTH, IDC_START_DAY, IDC_END_YEAR, IDC_END_MONTH, IDC_END_DAY}},
    {Kind::DropDown,
     {IDC_TEMPERATURE_UNIT, IDC_RAIN_UNIT, IDC_PRESSURE_UNIT, IDC_WIND_UNIT, IDC_PRESSURE_TYPE, IDC_DIRECTION_UNIT,
      IDC_SERVICE}},
    {Kind::CheckBox, {IDC_WHOLE_PERIOD, IDC_AUTO_UPLOAD}},
    {Kind::OwnerDrawn, {IDC_SELECT_ALL, IDC_CLEAR_ALL, IDC_EXPORT}},
};

struct DialogExpectation {
    int id;
    bool visible; // the setup page waits hidden for its tab
    std::vector<Expected> controls;
};

const DialogExpectation DIALOGS[] = {
    {IDD_HEADER_BAR,
     true,
     {{Kind::ClickableText, {IDC_TAB_DASHBOARD, IDC_TAB_SETUP}},
      {Kind::OwnerDrawn, {IDC_HELP_BUTTON}},
      {Kind::DropDownList, {IDC_LANGUAGE_LIST}}}},
    {IDD_STATUS_BAR,
     true,
     {{Kind::Text, {IDC_LOGGER_LABEL, IDC_CONNECTION_TEXT}},
      {Kind::Area, {IDC_LOGGER_AREA, IDC_PROGRESS_AREA}},
      {Kind::Icon, {IDC_LOGGER_ICON, IDC_CONNECTION_DOT}},
      {Kind::CancelCross, {IDC_CANCEL_TRANSFER}}}},
    {IDD_DASHBOARD, true, DASHBOARD_CONTROLS},
    {IDD_SETUP_PAGE, false, SETUP_CONTROLS},
};

const wchar_t* classOf(Kind kind)
{
    switch (kind) {
    case Kind::Panel:
    case Kind::OwnerDrawn:
    case Kind::CheckBox:
        return L"Button";
    case Kind::DropDown:
    case Kind::DropDownList:
        return L"ComboBox";
    case Kind::Edit:
    case Kind::NumberEdit:
        return L"Edit";
    default:
        return L"Static";
    }
}

void expectControl(HWND dialog, int id, Kind kind)
{
    SCOPED_TRACE(testing::Message() << "control " << id);
    HWND control = GetDlgItem(dialog, id);
    ASSERT_NE(control, nullptr) << "missing";
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    EXPECT_EQ(lstrcmpiW(className, classOf(kind)), 0)
        << "class " << testing::PrintToString(std::wstring(className));

    const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    const bool hidden =
        kind == Kind::Area || kind == Kind::Panel || kind == Kind::CancelCross;
    EXPECT_EQ((style & WS_VISIBLE) == 0, hidden) << "visibility";
    const bool clicks = kind == Kind::ClickableText || kind == Kind::ClickableIcon ||
                        kind == Kind::CancelCross;
    if (clicks) {
        EXPECT_TRUE(style & SS_NOTIFY) << "clicks are not reported";
    }
    switch (kind) {
    case Kind::Text:
    case Kind::ClickableText:
    case Kind::Area:
        EXPECT_LE(style & SS_TYPEMASK, static_cast<DWORD>(SS_RIGHT)) << "not a text";
        break;
    case Kind::Icon:
    case Kind::ClickableIcon:
        EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_ICON));
        break;
    case Kind::CancelCross:
        EXPECT_EQ(style & SS_TYPEMASK, static_cast<DWORD>(SS_BITMAP));
        break;
    case Kind::Panel:
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
        EXPECT_TRUE(style & ES_AUTOHSCROLL);
        break;
    case Kind::NumberEdit:
        EXPECT_TRUE(style & ES_NUMBER);
        break;
    }
}

INT_PTR CALLBACK passiveDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

RECT rectIn(HWND dialog, HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

std::vector<HWND> childrenOf(HWND dialog)
{
    std::vector<HWND> children;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

bool visibleStyle(HWND control)
{
    return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

// The four templates created with a procedure that does nothing: what the
// resources give, before any page code runs.
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

    static HWND parent;
    std::vector<HWND> dialogs;
};

HWND DialogTest::parent = nullptr;

TEST_F(DialogTest, EveryControlTheCodeDrivesIsThereAsWhatItTakesItFor)
{
    HDC screen = GetDC(nullptr);
    const int elevenPoints = -MulDiv(11, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    for (const DialogExpectation& expected : DIALOGS) {
        SCOPED_TRACE(testing::Message() << "dialog " << expected.id);
        HWND dialog = create(expected.id);
        ASSERT_NE(dialog, nullptr);
        const DWORD style = static_cast<DWORD>(GetWindowLongW(dialog, GWL_STYLE));
        EXPECT_TRUE(style & WS_CHILD);
        EXPECT_FALSE((style & WS_CAPTION) == WS_CAPTION);
        EXPECT_EQ((style & WS_VISIBLE) != 0, expected.visible);
        // The templates' dialog units are those of Arial 11.
        LOGFONTW font{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_STREQ(font.lfFaceName, L"Arial");
        EXPECT_EQ(font.lfHeight, elevenPoints);
        for (const Expected& group : expected.controls)
            for (int id : group.ids)
                expectControl(dialog, id, group.kind);
    }
}

TEST_F(DialogTest, EveryControlLiesInsideItsDialogClearOfItsNeighbours)
{
    for (const DialogExpectation& expected : DIALOGS) {
        SCOPED_TRACE(testing::Message() << "dialog " << expected.id);
        HWND dialog = create(expected.id);
        ASSERT_NE(dialog, nullptr);
        RECT client{};
        GetClientRect(dialog, &client);
        // Neighbours may share an edge of up to two dialog units: the
        // templates' rectangles round to whole units, and what meets there
        // is the empty margin of a text or an icon.
        const RECT touch = pixels(dialog, 0, 0, 2, 2);
        const std::vector<HWND> children = childrenOf(dialog);
        for (std::size_t i = 0; i < children.size(); ++i) {
            const RECT r = rectIn(dialog, children[i]);
            EXPECT_TRUE(contains(client, r)) << "control " << GetDlgCtrlID(children[i]) << " reaches outside";
            // Hidden controls only mark where the page draws or frames.
            if (!visibleStyle(children[i]))
                continue;
            for (std::size_t j = i + 1; j < children.size(); ++j) {
                const RECT other = rectIn(dialog, children[j]);
                RECT common{};
                if (!visibleStyle(children[j]) || !IntersectRect(&common, &r, &other))
                    continue;
                EXPECT_TRUE(common.right - common.left <= touch.right || common.bottom - common.top <= touch.bottom)
                    << "controls " << GetDlgCtrlID(children[i]) << " and " << GetDlgCtrlID(children[j])
                    << " overlap by " << common.right - common.left << " x " << common.bottom - common.top;
            }
        }
    }
}

TEST_F(DialogTest, EveryPictureControlHasItsPicture)
{
    for (const DialogExpectation& expected : DIALOGS) {
        HWND dialog = create(expected.id);
        ASSERT_NE(dialog, nullptr);
        for (HWND control : childrenOf(dialog)) {
            wchar_t className[64] = L"";
            GetClassNameW(control, className, 64);
            const DWORD type = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE)) & SS_TYPEMASK;
            if (lstrcmpiW(className, L"Static") != 0)
                continue;
            if (type == SS_ICON) {
                EXPECT_NE(SendMessageW(control, STM_GETICON, 0, 0), 0) << "icon " << GetDlgCtrlID(control);
            }
            if (type == SS_BITMAP) {
                EXPECT_NE(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0), 0)
                    << "bitmap " << GetDlgCtrlID(control);
            }
        }
    }
}

TEST_F(DialogTest, HeaderBarTabsLeaveTheOutlineFreeAndTheHelpButtonFitsItsBitmap)
{
    HWND header = create(IDD_HEADER_BAR);
    ASSERT_NE(header, nullptr);
    // The tab outline puts its separator at x = width of the second tab and
    // draws along its bottom and right edge: the first tab starts at the
    // left edge, both are equally wide, and none of those lines falls under
    // a tab, which would paint over it.
    const RECT a = rectIn(header, GetDlgItem(header, IDC_TAB_DASHBOARD));
    const RECT b = rectIn(header, GetDlgItem(header, IDC_TAB_SETUP));
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
    const RECT help = rectIn(header, GetDlgItem(header, IDC_HELP_BUTTON));
    EXPECT_EQ(bitmapSize(IDB_HELP).cx, help.right - help.left);
    EXPECT_EQ(bitmapSize(IDB_HELP).cy, help.bottom - help.top);
}

TEST_F(DialogTest, StatusBarSaysNoConnectionUntilTheConsoleArrives)
{
    HWND status = create(IDD_STATUS_BAR);
    ASSERT_NE(status, nullptr);
    const std::vector<std::wstring> english = languageTable(LANGUAGE_ENGLISH);
    ASSERT_EQ(english.size(), static_cast<std::size_t>(LANGUAGE_KEY_COUNT));
    wchar_t text[64] = L"";
    GetDlgItemTextW(status, IDC_CONNECTION_TEXT, text, 64);
    EXPECT_EQ(std::wstring(text), english[56 - 1]);
    // The dot starts red: icon 168, as the main window sets it on removal.
    HICON dot = reinterpret_cast<HICON>(SendDlgItemMessageW(status, IDC_CONNECTION_DOT, STM_GETICON, 0, 0));
    ASSERT_NE(dot, nullptr);
    const COLORREF centre = iconPixelOnWhite(dot, 17, 18);
    EXPECT_GT(GetRValue(centre), GetBValue(centre) + 100);
}

TEST_F(DialogTest, DashboardControlsLieInsideTheirPanel)
{
    HWND dashboard = create(IDD_DASHBOARD);
    ASSERT_NE(dashboard, nullptr);
    const std::vector<int>& panelIds = DASHBOARD_CONTROLS[0].ids;
    std::vector<RECT> panels;
    for (int id : panelIds)
        panels.push_back(rectIn(dashboard, GetDlgItem(dashboard, id)));
    // The painters draw values into the hidden areas and frames around the
    // panels: every title, caption, value and picture belongs to one panel.
    for (HWND control : childrenOf(dashboard)) {
        const int id = GetDlgCtrlID(control);
        if (std::count(panelIds.begin(), panelIds.end(), id) || id == IDC_LAST_READ_LABEL ||
            id == IDC_LAST_READ_TIME || id == IDC_REFRESH_BUTTON)
            continue;
        const RECT r = rectIn(dashboard, control);
        EXPECT_EQ(std::count_if(panels.begin(), panels.end(), [&](const RECT& panel) { return contains(panel, r); }),
                  1)
            << "control " << id;
    }
}

TEST_F(DialogTest, DataSetBoxesAreOneUnbrokenRangeOfCheckBoxes)
{
    HWND setup = create(IDD_SETUP_PAGE);
    ASSERT_NE(setup, nullptr);
    // Select All and Clear All walk the ids from the first to the last.
    for (int id = IDC_DATA_SET_PRESSURE; id <= IDC_DATA_SET_CHANNEL7; ++id) {
        HWND box = GetDlgItem(setup, id);
        ASSERT_NE(box, nullptr) << id;
        EXPECT_EQ(GetWindowLongW(box, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX) << id;
    }
}

// ---- every text fits its control ---------------------------------------------------

// Why `text` does not fit `control` in the font the program gave it; empty
// when it fits. A check box, a vertically centred static or a hidden area
// the page draws into shows one line; other statics wrap words within their
// height. "&&" is measured as the one ampersand the control shows.
std::wstring overflow(HWND control, const std::wstring& text)
{
    RECT area{};
    GetClientRect(control, &area);
    wchar_t className[64] = L"";
    GetClassNameW(control, className, 64);
    const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
    const bool checkBox = lstrcmpiW(className, L"Button") == 0;
    if (checkBox)
        area.right -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
    const bool singleLine = checkBox || (style & SS_CENTERIMAGE) || !(style & WS_VISIBLE);

    HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, area.right, 0};
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | (singleLine ? DT_SINGLELINE : DT_WORDBREAK));
    SelectObject(dc, previous);
    ReleaseDC(control, dc);

    if (needed.right <= area.right && (singleLine || needed.bottom <= area.bottom))
        return L"";
    return L"needs " + std::to_wstring(needed.right) + L"x" + std::to_wstring(needed.bottom) + L", has " +
           std::to_wstring(area.right) + L"x" + std::to_wstring(area.bottom);
}

// Texts a control shows only in some states, by language key: connected or
// not, relative or absolute pressure, the station labels of the other
// service, the upload result.
struct StateText {
    HWND* dialog;
    int control;
    int key;
};
const StateText STATE_TEXTS[] = {
    {&statusBar, IDC_CONNECTION_TEXT, 55},     {&statusBar, IDC_CONNECTION_TEXT, 56},
    {&dashboardPage, IDC_CAPTION_PRESSURE, 18}, {&dashboardPage, IDC_CAPTION_PRESSURE, 19},
    {&setupPage, IDC_STATION_ID_LABEL, 29},     {&setupPage, IDC_STATION_ID_LABEL, 31},
    {&setupPage, IDC_STATION_KEY_LABEL, 30},    {&setupPage, IDC_STATION_KEY_LABEL, 32},
    {&setupPage, IDC_UPLOAD_TEXT, 35},          {&setupPage, IDC_UPLOAD_TEXT, 36},
};

using LabelTest = AppTest;

TEST_F(LabelTest, EveryTextFitsItsControlInEveryLanguage)
{
    start();
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table) {
        choose(headerBar, IDC_LANGUAGE_LIST, static_cast<int>(table));
        ASSERT_EQ(language, table);
        SCOPED_TRACE(testing::PrintToString(std::wstring(sectionOf(table))));
        auto expectFits = [](HWND control, const std::wstring& text) {
            const std::wstring why = overflow(control, text);
            EXPECT_TRUE(why.empty()) << testing::PrintToString(text) << " in control " << GetDlgCtrlID(control)
                                     << ": " << testing::PrintToString(why);
        };

        // Every text the pages show now, in the fonts they gave.
        for (HWND dialog : {headerBar, statusBar, dashboardPage, setupPage})
            for (HWND control : childrenOf(dialog)) {
                wchar_t text[LANGUAGE_TEXT_SIZE] = L"";
                GetWindowTextW(control, text, LANGUAGE_TEXT_SIZE);
                wchar_t className[64] = L"";
                GetClassNameW(control, className, 64);
                const DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
                const bool showsText = lstrcmpiW(className, L"Static") == 0
                                           ? (style & SS_TYPEMASK) <= SS_RIGHT
                                           : lstrcmpiW(className, L"Button") == 0 &&
                                                 (style & BS_TYPEMASK) == BS_AUTOCHECKBOX;
                if (showsText && text[0] != L'\0')
                    expectFits(control, text);
            }
        // And those of other states.
        for (const StateText& state : STATE_TEXTS)
            expectFits(GetDlgItem(*state.dialog, state.control), languageTableText(table, state.key));
        wchar_t status[STATUS_TEXT_SIZE];
        makeProgressText(languageText(53), 100, status);
        expectFits(GetDlgItem(statusBar, IDC_PROGRESS_AREA), status);
        makeLoggerText(L"100", status);
        expectFits(GetDlgItem(statusBar, IDC_LOGGER_AREA), status);
        wchar_t stamp[64];
        ASSERT_GT(formatLastReadText(2026, 12, 28, 18, 48, stamp, 64), 0u);
        expectFits(GetDlgItem(dashboardPage, IDC_LAST_READ_TIME), stamp);
    }
}

} // namespace
