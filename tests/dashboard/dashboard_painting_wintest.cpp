// What the dashboard paints: the page is painted into a memory bitmap the
// way WM_PAINT paints it, the painters' text calls are recorded on the way
// (they still draw), and pixels are read back where the drawing itself is
// the point: the compass pointer, what stays on screen, the panel frames.
#include <windows.h>

#include <dbt.h>

#include <cmath>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/shared_drawing_win.h"
#include "dashboard/dashboard_page_win.h"
#include "dashboard/value_painters_win.h"
#include "link/messages.h"
#include "readings/units.h"
#include "resources/resource_ids.h"
#include "tests/support/app_fixture_win.h"
#include "tests/support/arial_metrics_win.h"
#include "tests/support/broadcast_record_win.h"
#include "tests/support/full_observation.h"

namespace {

const auto* const arialCheck = ::testing::AddGlobalTestEnvironment(new ArialMetricsCheck);

constexpr COLORREF POINTER_BLUE = RGB(64, 144, 197);
constexpr COLORREF WHITE = RGB(255, 255, 255);
constexpr COLORREF GREY = RGB(145, 145, 145);

// ---- recording the painters' text calls -----------------------------------------------

struct Drawn {
    bool textOut;
    std::wstring text;
    RECT rect; // DrawText: the rectangle given
    UINT format;
    HFONT font;
    int x, y; // TextOut
};
std::vector<Drawn> drawn;

std::wstring textOf(LPCWSTR text, int length)
{
    return length < 0 ? std::wstring(text) : std::wstring(text, length);
}

int WINAPI recordDrawText(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format)
{
    if (!(format & DT_CALCRECT))
        drawn.push_back({false, textOf(text, length), *rect, format,
                         static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT)), 0, 0});
    return DrawTextW(dc, text, length, rect, format);
}

BOOL WINAPI recordTextOut(HDC dc, int x, int y, LPCWSTR text, int length)
{
    drawn.push_back({true, textOf(text, length), {}, 0, static_cast<HFONT>(GetCurrentObject(dc, OBJ_FONT)), x, y});
    return TextOutW(dc, x, y, text, length);
}

// What one value area received in a paint.
struct AreaShown {
    int calls = 0;      // text calls of any kind for the area
    std::wstring blanks; // the run drawn first
    std::wstring text;
    UINT format = 0;
    HFONT font = nullptr;
    std::wstring unit;
    HFONT unitFont = nullptr;
    int unitX = 0, unitY = 0;
};

bool isBlank(const std::wstring& text)
{
    return !text.empty() && text.find_first_not_of(L' ') == std::wstring::npos;
}

RECT areaOf(int control)
{
    return controlRectInParent(dashboardPage, GetDlgItem(dashboardPage, control));
}

// A TextOut belongs to the area of the DrawText before it.
AreaShown shownIn(int control)
{
    const RECT area = areaOf(control);
    AreaShown shown;
    bool inArea = false;
    for (const Drawn& d : drawn) {
        if (!d.textOut)
            inArea = EqualRect(&d.rect, &area) != 0;
        if (!inArea)
            continue;
        ++shown.calls;
        if (d.textOut) {
            shown.unit = d.text;
            shown.unitFont = d.font;
            shown.unitX = d.x;
            shown.unitY = d.y;
        } else if (isBlank(d.text)) {
            shown.blanks = d.text;
        } else {
            shown.text = d.text;
            shown.format = d.format;
            shown.font = d.font;
        }
    }
    return shown;
}

// ---- painting into a bitmap ------------------------------------------------------------

class Canvas {
public:
    Canvas()
    {
        RECT client{};
        GetClientRect(dashboardPage, &client);
        width = client.right;
        height = client.bottom;
        HDC screen = GetDC(nullptr);
        dc = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, width, height);
        ReleaseDC(nullptr, screen);
        previous = SelectObject(dc, bitmap);
        PatBlt(dc, 0, 0, width, height, WHITENESS);
    }
    ~Canvas()
    {
        SelectObject(dc, previous);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Paints over what is already there, as WM_PAINT does on screen.
    void paint()
    {
        drawn.clear();
        paintDashboard(dashboardPage, dc);
    }
    COLORREF at(int x, int y) const { return GetPixel(dc, x, y); }
    std::vector<COLORREF> pixels(const RECT& r) const
    {
        std::vector<COLORREF> out;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                out.push_back(at(x, y));
        return out;
    }
    bool anyNear(const RECT& r, COLORREF colour) const
    {
        for (COLORREF c : pixels(r))
            if (similar(c, colour))
                return true;
        return false;
    }
    static bool similar(COLORREF a, COLORREF b)
    {
        return std::abs(GetRValue(a) - GetRValue(b)) < 24 && std::abs(GetGValue(a) - GetGValue(b)) < 24
               && std::abs(GetBValue(a) - GetBValue(b)) < 24;
    }

    HDC dc = nullptr;
    int width = 0;
    int height = 0;

private:
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
};

// ---- observations ------------------------------------------------------------------------

void sendLive(const std::string& line)
{
    char frame[450] = {};
    std::memcpy(frame, line.c_str(), line.size() + 1);
    SendMessageW(dashboardPage, WM_LIVE_RECORD, 0, reinterpret_cast<LPARAM>(frame));
}

SIZE measured(HFONT font, const wchar_t* text)
{
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(std::wcslen(text)), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    size.cy = metrics.tmHeight;
    SelectObject(dc, previous);
    DeleteDC(dc);
    return size;
}

RECT compassRect()
{
    return {compassOrigin.x, compassOrigin.y, compassOrigin.x + compassSize.cx, compassOrigin.y + compassSize.cy};
}

// A small square on the ring at a bearing (clockwise from the top), where
// the pointer's wedge is solid.
RECT onRing(double degrees)
{
    const double a = degrees * 3.14159265358979 / 180.0;
    const int x = compassOrigin.x + compassSize.cx / 2 + static_cast<int>(std::lround(62 * std::sin(a)));
    const int y = compassOrigin.y + compassSize.cy / 2 - static_cast<int>(std::lround(62 * std::cos(a)));
    return {x - 2, y - 2, x + 3, y + 3};
}

class DashboardPaintingTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        textDrawing = {recordDrawText, recordTextOut};
    }
    void TearDown() override
    {
        textDrawing = {DrawTextW, TextOutW};
        AppTest::TearDown();
    }
    static void setUnits(std::uint8_t temperature, std::uint8_t rain, std::uint8_t pressure, std::uint8_t wind,
                         std::uint8_t type, std::uint8_t direction)
    {
        setCurrentUnitSettings({temperature, rain, pressure, wind, type, direction});
    }
};

// ---- values --------------------------------------------------------------------------------

TEST_F(DashboardPaintingTest, EveryValueIsShownInTheStoredUnits)
{
    // Fahrenheit, inches, inHg, m/s, absolute pressure, degrees.
    writeRaw(L"unit", Bytes{1, 1, 2, 1, 0, 1, 0, 0, 0, 0, 0, 0});
    start();
    sendLive(joined(fullObservation()));
    Canvas canvas;
    canvas.paint();

    struct Expected {
        int control;
        const wchar_t* text;
        const wchar_t* unit;
    } expected[] = {
        {IDC_VALUE_INDOOR_TEMP, L"70.5", L"\u00B0F"}, {IDC_VALUE_OUTDOOR_TEMP, L"25.7", L"\u00B0F"},
        {IDC_VALUE_CHANNEL_TEMP, L"53.4", L"\u00B0F"}, {IDC_VALUE_CHANNEL_HUMIDITY, L"66", L"%"},
        {IDC_VALUE_DEW_POINT, L"50.0", L"\u00B0F"},   {IDC_VALUE_HEAT_INDEX, L"77.0", L"\u00B0F"},
        {IDC_VALUE_PRESSURE, L"29.82", L"inHg"},      {IDC_VALUE_WIND_SPEED, L"3.3", L"m/s"},
        {IDC_VALUE_WIND_GUST, L"4.2", L"m/s"},        {IDC_VALUE_DAILY_RAIN, L"0.05", L"in"},
        {IDC_VALUE_RAIN_RATE, L"0.01", L"in/h"},      {IDC_VALUE_INDOOR_HUMIDITY, L"45", L"%"},
        {IDC_VALUE_OUTDOOR_HUMIDITY, L"81", L"%"},
    };
    for (const Expected& e : expected) {
        const AreaShown shown = shownIn(e.control);
        EXPECT_EQ(shown.text, e.text) << e.control;
        EXPECT_EQ(shown.unit, e.unit) << e.control;
        EXPECT_EQ(shown.font, ValueFont) << e.control;
        EXPECT_EQ(shown.unitFont, UnitFont) << e.control;
        EXPECT_EQ(shown.format, 0u) << e.control;
    }
    EXPECT_EQ(shownIn(IDC_VALUE_RAIN_RATE).blanks.size(), 32u);
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_HUMIDITY).blanks.size(), 33u);
    EXPECT_EQ(shownIn(IDC_VALUE_PRESSURE).blanks.size(), 29u);

    const AreaShown uv = shownIn(IDC_VALUE_UV_INDEX);
    EXPECT_EQ(uv.text, L"5");
    EXPECT_EQ(uv.format, static_cast<UINT>(DT_CENTER));
    EXPECT_EQ(uv.unit, L"");
    EXPECT_EQ(uv.blanks.size(), 13u);

    const AreaShown direction = shownIn(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(direction.text, L"90");
    EXPECT_EQ(direction.font, CompassFont);
    EXPECT_EQ(direction.format, static_cast<UINT>(DT_CENTER));
    EXPECT_EQ(direction.blanks.size(), 49u);
    EXPECT_EQ(direction.unit, L"\u00B0");
    // The table keeps the console's own texts.
    EXPECT_STREQ(dashboardFields.text[StationFields::indoorTemp], L"21.4");
}

TEST_F(DashboardPaintingTest, TheUnitFollowsTheMeasuredValueEightPixelsOnAndAQuarterDown)
{
    start();
    sendLive(joined(fullObservation()));
    const RECT area = areaOf(IDC_VALUE_PRESSURE);
    Canvas canvas;

    canvas.paint();
    const AreaShown hpa = shownIn(IDC_VALUE_PRESSURE);
    ASSERT_EQ(hpa.text, L"1013.2");
    const SIZE wide = measured(ValueFont, L"1013.2");
    EXPECT_EQ(hpa.unitX, area.left + wide.cx + 8);
    EXPECT_EQ(hpa.unitY, area.top + wide.cy / 4);

    setUnits(0, 0, PRESSURE_INHG, WIND_KMH, PRESSURE_RELATIVE, 0);
    canvas.paint();
    const AreaShown inhg = shownIn(IDC_VALUE_PRESSURE);
    ASSERT_EQ(inhg.text, L"29.92");
    EXPECT_EQ(inhg.unit, L"inHg");
    EXPECT_EQ(inhg.unitX, area.left + measured(ValueFont, L"29.92").cx + 8);
    EXPECT_LT(inhg.unitX, hpa.unitX);
}

TEST_F(DashboardPaintingTest, AnEmptyTemperatureShowsDashesWhileAnEmptyWindKeepsWhatWasThere)
{
    start();
    sendLive(joined(fullObservation()));
    Canvas canvas;
    canvas.paint();
    const RECT wind = areaOf(IDC_VALUE_WIND_SPEED);
    const RECT dewPoint = areaOf(IDC_VALUE_DEW_POINT);
    const std::vector<COLORREF> windBefore = canvas.pixels(wind);
    const std::vector<COLORREF> dewBefore = canvas.pixels(dewPoint);

    // Nine values only: everything from the wind speed on is empty.
    sendLive(joined(fullObservation(), 9));
    canvas.paint();
    for (int control : {IDC_VALUE_WIND_SPEED, IDC_VALUE_WIND_GUST, IDC_VALUE_PRESSURE, IDC_VALUE_UV_INDEX})
        EXPECT_EQ(shownIn(control).calls, 0) << "nothing drawn in " << control;
    EXPECT_TRUE(canvas.pixels(wind) == windBefore) << "the previous wind speed stays on screen";
    EXPECT_STREQ(dashboardFields.text[StationFields::windSpeed], L"");

    EXPECT_EQ(shownIn(IDC_VALUE_DEW_POINT).text, L"--.-");
    EXPECT_EQ(shownIn(IDC_VALUE_HEAT_INDEX).text, L"--.-");
    EXPECT_FALSE(canvas.pixels(dewPoint) == dewBefore);
    EXPECT_STREQ(dashboardFields.text[StationFields::dewPoint], L"--.-") << "the placeholder stays in the table";
}

TEST_F(DashboardPaintingTest, AChannelWithoutDataShowsDashesAndItsFieldsStayEmpty)
{
    start();
    sendLive(joined(fullObservation(), 18)); // no channel values at all
    Canvas canvas;
    canvas.paint();
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_TEMP).text, L"--.-");
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_TEMP).unit, L"\u00B0C");
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_HUMIDITY).text, L"--");
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_HUMIDITY).unit, L"%");
    EXPECT_STREQ(dashboardFields.text[StationFields::ch1Temp], L"");
    EXPECT_STREQ(dashboardFields.text[StationFields::ch1Humidity], L"");

    // The arrow shows the next channel's values.
    sendLive(joined(fullObservation()));
    click(dashboardPage, IDC_CHANNEL_NEXT);
    canvas.paint();
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_TEMP).text, L"12.5");
    EXPECT_EQ(shownIn(IDC_VALUE_CHANNEL_HUMIDITY).text, L"52");
}

// ---- direction and compass -----------------------------------------------------------------

TEST_F(DashboardPaintingTest, TheDegreeSignFollowsABearingOnlyInDegreeMode)
{
    start();
    const RECT area = areaOf(IDC_VALUE_WIND_DIRECTION);
    sendLive(joined(fullObservation()));
    Canvas canvas;

    setUnits(0, 0, 0, WIND_KMH, PRESSURE_RELATIVE, DIRECTION_DEGREES);
    canvas.paint();
    AreaShown shown = shownIn(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(shown.text, L"90");
    EXPECT_EQ(shown.unit, L"\u00B0");
    EXPECT_EQ(shown.unitFont, UnitFont);
    const int width = area.right - area.left;
    EXPECT_EQ(shown.unitX, area.left + width / 2 + measured(CompassFont, L"90").cx / 2 + 2);
    EXPECT_EQ(shown.unitY, area.top);

    sendLive(joined(fullObservation(), 11)); // no direction
    canvas.paint();
    shown = shownIn(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(shown.text, L"--");
    EXPECT_EQ(shown.unit, L"") << "no degree sign after dashes";

    sendLive(joined(fullObservation()));
    setUnits(0, 0, 0, WIND_KMH, PRESSURE_RELATIVE, DIRECTION_POINTS);
    canvas.paint();
    shown = shownIn(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(shown.text, L"E");
    EXPECT_EQ(shown.unit, L"") << "no degree sign after a point name";
}

TEST_F(DashboardPaintingTest, TheCompassPointerFollowsTheWind)
{
    start();
    std::vector<std::string> fields = fullObservation();
    Canvas canvas;

    sendLive(joined(fields)); // E
    canvas.paint();
    EXPECT_TRUE(canvas.anyNear(onRing(90), POINTER_BLUE));
    EXPECT_FALSE(canvas.anyNear(onRing(270), POINTER_BLUE));

    fields[12] = "SSW";
    sendLive(joined(fields));
    canvas.paint();
    EXPECT_TRUE(canvas.anyNear(onRing(202.5), POINTER_BLUE));
    EXPECT_FALSE(canvas.anyNear(onRing(90), POINTER_BLUE)) << "the old pointer is painted over";
    EXPECT_EQ(shownIn(IDC_VALUE_WIND_DIRECTION).text, L"SSW");

    fields[12] = "ssw"; // not one of the names: the dial alone
    sendLive(joined(fields));
    canvas.paint();
    EXPECT_FALSE(canvas.anyNear(compassRect(), POINTER_BLUE));
    EXPECT_TRUE(canvas.anyNear(onRing(0), GREY) || canvas.anyNear(onRing(0), RGB(99, 99, 99)))
        << "the dial's ticks are drawn";

    setUnits(0, 0, 0, WIND_KMH, PRESSURE_RELATIVE, DIRECTION_DEGREES);
    fields[11] = "300"; // WNW: 281..303
    sendLive(joined(fields));
    canvas.paint();
    EXPECT_TRUE(canvas.anyNear(onRing(292.5), POINTER_BLUE));
}

TEST_F(DashboardPaintingTest, TheCompassIsCentredOnTheDirectionText)
{
    start();
    const RECT area = areaOf(IDC_VALUE_WIND_DIRECTION);
    EXPECT_EQ(compassSize.cx, 160);
    EXPECT_EQ(compassSize.cy, 160);
    EXPECT_EQ(compassOrigin.x, area.left + (area.right - area.left) / 2 - 80 + 1);
    EXPECT_EQ(compassOrigin.y, area.top + (area.bottom - area.top) / 2 - 80 - 2);
}

// ---- the console going away ------------------------------------------------------------------

TEST_F(DashboardPaintingTest, RemovingTheConsolePutsDashesIntoEveryPanel)
{
    start(true);
    sendLive(joined(fullObservation()));
    closeConsoleDouble(console);
    InterfaceBroadcast broadcast = interfaceBroadcast(CONSOLE_INTERFACE);
    SendMessageW(mainWindow, WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, broadcast.lParam());

    Canvas canvas;
    canvas.paint();
    struct Expected {
        int control;
        const wchar_t* text;
    } expected[] = {
        {IDC_VALUE_INDOOR_TEMP, L"--.-"},   {IDC_VALUE_INDOOR_HUMIDITY, L"--"}, {IDC_VALUE_OUTDOOR_TEMP, L"--.-"},
        {IDC_VALUE_OUTDOOR_HUMIDITY, L"--"}, {IDC_VALUE_WIND_SPEED, L"--"},     {IDC_VALUE_WIND_GUST, L"--"},
        {IDC_VALUE_WIND_DIRECTION, L"--"},  {IDC_VALUE_CHANNEL_TEMP, L"--.-"},  {IDC_VALUE_CHANNEL_HUMIDITY, L"--"},
        {IDC_VALUE_DAILY_RAIN, L"-.-"},     {IDC_VALUE_RAIN_RATE, L"-.-"},      {IDC_VALUE_PRESSURE, L"--"},
        {IDC_VALUE_DEW_POINT, L"--.-"},     {IDC_VALUE_UV_INDEX, L"--"},        {IDC_VALUE_HEAT_INDEX, L"--.-"},
    };
    for (const Expected& e : expected)
        EXPECT_EQ(shownIn(e.control).text, e.text) << e.control;
    EXPECT_FALSE(canvas.anyNear(compassRect(), POINTER_BLUE));
}

// ---- panels ------------------------------------------------------------------------------------

TEST_F(DashboardPaintingTest, PanelsHaveTheirColoursAndTheLowerRowReachesThePageBottom)
{
    start();
    Canvas canvas;
    canvas.paint();
    auto leftEdge = [&canvas](int panel) {
        const RECT r = areaOf(panel);
        return canvas.at(r.left, (r.top + r.bottom) / 2);
    };
    EXPECT_EQ(leftEdge(IDC_PANEL_INDOOR), RGB(19, 137, 114));
    EXPECT_EQ(leftEdge(IDC_PANEL_CHANNEL), RGB(209, 113, 42));
    for (int panel : {IDC_PANEL_OUTDOOR, IDC_PANEL_WIND, IDC_PANEL_RAIN, IDC_PANEL_INDEX})
        EXPECT_EQ(leftEdge(panel), GREY) << panel;

    const RECT indoor = areaOf(IDC_PANEL_INDOOR);
    const int middle = (indoor.left + indoor.right) / 2;
    EXPECT_EQ(canvas.at(middle, indoor.bottom - 1), RGB(19, 137, 114)) << "upper row ends at its control";
    ASSERT_LT(areaOf(IDC_PANEL_RAIN).bottom, canvas.height - 1);
    for (int panel : {IDC_PANEL_RAIN, IDC_PANEL_INDEX, IDC_PANEL_CHANNEL}) {
        const RECT r = areaOf(panel);
        const COLORREF colour = panel == IDC_PANEL_CHANNEL ? RGB(209, 113, 42) : GREY;
        EXPECT_EQ(canvas.at((r.left + r.right) / 2, canvas.height - 2), colour) << panel;
    }

    // Separators: the wind panel's stops under the speed values.
    const RECT windPanel = areaOf(IDC_PANEL_WIND);
    const int y = windPanel.top + (windPanel.bottom - windPanel.top) / 2 + 16;
    const int w = windPanel.right - windPanel.left;
    EXPECT_EQ(canvas.at(windPanel.left + 20, y), GREY);
    EXPECT_EQ(canvas.at(windPanel.left + (2 * w) / 5 + 4, y), WHITE);
    const int indoorY = indoor.top + (indoor.bottom - indoor.top) / 2 + 16;
    EXPECT_EQ(canvas.at(indoor.right - 20, indoorY), RGB(19, 137, 114));
}

// ---- bitmaps -----------------------------------------------------------------------------------

TEST_F(DashboardPaintingTest, TheTransparentBlitKeepsTheBackgroundWhereTheKeyColourIs)
{
    start();
    Canvas canvas;
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
    const RECT all = {0, 0, canvas.width, canvas.height};
    FillRect(canvas.dc, &all, green);
    DeleteObject(green);

    // Left half black (the key), right half red.
    HBITMAP picture = CreateCompatibleBitmap(canvas.dc, 8, 8);
    HDC pictureDc = CreateCompatibleDC(canvas.dc);
    HGDIOBJ previous = SelectObject(pictureDc, picture);
    PatBlt(pictureDc, 0, 0, 4, 8, BLACKNESS);
    HBRUSH red = CreateSolidBrush(RGB(200, 0, 0));
    const RECT right = {4, 0, 8, 8};
    FillRect(pictureDc, &right, red);
    DeleteObject(red);
    SelectObject(pictureDc, previous);

    drawTransparentBitmap(canvas.dc, picture, 10, 20, RGB(0, 0, 0));
    EXPECT_EQ(canvas.at(11, 21), RGB(0, 160, 0));
    EXPECT_EQ(canvas.at(13, 27), RGB(0, 160, 0));
    EXPECT_EQ(canvas.at(15, 21), RGB(200, 0, 0));
    EXPECT_EQ(canvas.at(17, 27), RGB(200, 0, 0));
    EXPECT_EQ(canvas.at(18, 21), RGB(0, 160, 0)) << "nothing beyond the bitmap";

    // The bitmap itself comes back unchanged.
    previous = SelectObject(pictureDc, picture);
    EXPECT_EQ(GetPixel(pictureDc, 1, 1), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(pictureDc, 6, 6), RGB(200, 0, 0));
    SelectObject(pictureDc, previous);
    DeleteDC(pictureDc);
    DeleteObject(picture);
}

TEST_F(DashboardPaintingTest, TheRefreshButtonShowsItsPressedBitmapWhileSelected)
{
    start();
    Canvas canvas;
    auto drawButton = [&canvas](UINT control, UINT state) {
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = control;
        item.itemState = state;
        item.hwndItem = GetDlgItem(dashboardPage, control);
        item.hDC = canvas.dc;
        item.rcItem = {0, 0, 28, 32}; // twice the bitmap's size
        SendMessageW(dashboardPage, WM_DRAWITEM, control, reinterpret_cast<LPARAM>(&item));
    };
    // Just below the top edge, in the gap of the arrow: the bitmap's ground.
    PatBlt(canvas.dc, 0, 0, 28, 32, BLACKNESS);
    drawButton(IDC_REFRESH_BUTTON, 0);
    EXPECT_EQ(canvas.at(14, 2), WHITE);
    EXPECT_LT(GetRValue(canvas.at(5, 17)), 200) << "the arrow's left side";
    drawButton(IDC_REFRESH_BUTTON, ODS_SELECTED);
    EXPECT_EQ(canvas.at(14, 2), RGB(205, 205, 205));
    PatBlt(canvas.dc, 0, 0, 28, 32, BLACKNESS);
    drawButton(IDC_CHANNEL_NEXT, 0);
    EXPECT_EQ(canvas.at(14, 2), RGB(0, 0, 0)) << "no other control is drawn";
}

// The dial alone, then one pointer per point, N first and clockwise; 24
// bits, nothing pure black (the blit's transparent colour).
TEST(CompassBitmaps, SeventeenDialsWithThePointerAtEachPointInTurn)
{
    for (int k = 0; k <= 16; ++k) {
        HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr),
                                                         MAKEINTRESOURCEW(IDB_COMPASS_DIAL + k), IMAGE_BITMAP,
                                                         0, 0, LR_CREATEDIBSECTION));
        ASSERT_NE(bitmap, nullptr) << k;
        DIBSECTION dib{};
        ASSERT_EQ(GetObjectW(bitmap, sizeof dib, &dib), static_cast<int>(sizeof dib)) << k;
        EXPECT_EQ(dib.dsBm.bmWidth, 160);
        EXPECT_EQ(dib.dsBm.bmHeight, 160);
        ASSERT_EQ(dib.dsBm.bmBitsPixel, 24);
        const auto* bits = static_cast<const unsigned char*>(dib.dsBm.bmBits);
        double sumX = 0, sumY = 0;
        int blue = 0, black = 0;
        for (int row = 0; row < 160; ++row) {
            const int y = 159 - row; // bottom-up
            for (int x = 0; x < 160; ++x) {
                const unsigned char* p = bits + row * dib.dsBm.bmWidthBytes + 3 * x;
                const COLORREF c = RGB(p[2], p[1], p[0]);
                if (c == RGB(0, 0, 0))
                    ++black;
                if (Canvas::similar(c, POINTER_BLUE)) {
                    ++blue;
                    sumX += x + 0.5 - 80;
                    sumY += y + 0.5 - 80;
                }
            }
        }
        EXPECT_EQ(black, 0) << k;
        EXPECT_EQ(bits[0], 255) << "white corner " << k;
        if (k == 0) {
            EXPECT_EQ(blue, 0);
        } else {
            ASSERT_GT(blue, 100) << k;
            double bearing = std::atan2(sumX, -sumY) * 180.0 / 3.14159265358979;
            if (bearing < 0)
                bearing += 360.0;
            const double expected = (k - 1) * 22.5;
            double off = std::fabs(bearing - expected);
            off = off > 180 ? 360 - off : off;
            EXPECT_LT(off, 2.0) << "image " << k << " points at " << bearing;
        }
        DeleteObject(bitmap);
    }
}

TEST(RefreshBitmaps, AreFourteenBySixteen)
{
    for (int id : {IDB_REFRESH, IDB_REFRESH_PRESSED}) {
        HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id));
        ASSERT_NE(bitmap, nullptr) << id;
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 14) << id;
        EXPECT_EQ(info.bmHeight, 16) << id;
        DeleteObject(bitmap);
    }
}

} // namespace
