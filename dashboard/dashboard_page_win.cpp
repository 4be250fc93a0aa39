#include "dashboard/dashboard_page_win.h"

#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/message_box_win.h"
#include "app/shared_drawing_win.h"
#include "dashboard/channel_selection.h"
#include "dashboard/last_read_text.h"
#include "dashboard/panel_frame_win.h"
#include "dashboard/value_display.h"
#include "dashboard/value_painters_win.h"
#include "export/export_job_win.h"
#include "link/commands.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "readings/units.h"
#include "resources/resource_ids.h"
#include "settings/settings_store_win.h"
#include "upload/upload_requests_win.h"

StationFields dashboardFields{};
int selectedChannel = FIRST_CHANNEL;
POINT compassOrigin{};
SIZE compassSize{};
HICON uploadDoneIcon = nullptr;
HICON uploadFailedIcon = nullptr;

namespace {

constexpr COLORREF TITLE_COLOUR = 0x00636363;
constexpr COLORREF CAPTION_COLOUR = 0x00A05D05;
constexpr COLORREF VALUE_COLOUR = 0x00919191;
constexpr COLORREF INDOOR_FRAME_COLOUR = 0x00728913;
constexpr COLORREF CHANNEL_FRAME_COLOUR = 0x002A71D1;
constexpr COLORREF FRAME_COLOUR = 0x00919191;
// A live record is read only this far, terminator included: the console's
// lines are shorter, and anything past it is not part of an observation.
constexpr std::size_t LIVE_COPY_SIZE = 255;
constexpr int COMPASS_IMAGE_COUNT = 17;
constexpr std::size_t CHANNEL_TITLE_SIZE = 16;

const int TITLES[] = {IDC_TITLE_INDOOR, IDC_TITLE_OUTDOOR, IDC_TITLE_WIND,
                      IDC_TITLE_CHANNEL, IDC_TITLE_RAIN,   IDC_TITLE_INDEX};
const int CAPTIONS[] = {IDC_CAPTION_INDOOR_TEMP,      IDC_CAPTION_INDOOR_HUMIDITY, IDC_CAPTION_OUTDOOR_TEMP,
                        IDC_CAPTION_OUTDOOR_HUMIDITY, IDC_CAPTION_WIND_SPEED,      IDC_CAPTION_WIND_GUST,
                        IDC_CAPTION_WIND_DIRECTION,   IDC_CAPTION_CHANNEL_TEMP,    IDC_CAPTION_CHANNEL_HUMIDITY,
                        IDC_CAPTION_DAILY_RAIN,       IDC_CAPTION_RAIN_RATE,       IDC_CAPTION_PRESSURE,
                        IDC_CAPTION_DEW_POINT,        IDC_CAPTION_UV_INDEX,        IDC_CAPTION_HEAT_INDEX};
// The order in which the areas are measured and invalidated.
const int VALUE_AREAS[VALUE_AREA_COUNT] = {
    IDC_VALUE_INDOOR_TEMP,     IDC_VALUE_INDOOR_HUMIDITY, IDC_VALUE_OUTDOOR_TEMP, IDC_VALUE_OUTDOOR_HUMIDITY,
    IDC_VALUE_WIND_SPEED,      IDC_VALUE_WIND_GUST,       IDC_VALUE_WIND_DIRECTION, IDC_VALUE_CHANNEL_TEMP,
    IDC_VALUE_CHANNEL_HUMIDITY, IDC_VALUE_DAILY_RAIN,     IDC_VALUE_RAIN_RATE,    IDC_VALUE_PRESSURE,
    IDC_VALUE_DEW_POINT,       IDC_VALUE_UV_INDEX,        IDC_VALUE_HEAT_INDEX};

struct Label {
    int control;
    int key;
};
// In the order they are set.
const Label LABELS[] = {
    {IDC_TITLE_INDOOR, 6},              {IDC_CAPTION_INDOOR_TEMP, 8},   {IDC_CAPTION_INDOOR_HUMIDITY, 9},
    {IDC_TITLE_OUTDOOR, 7},             {IDC_CAPTION_OUTDOOR_TEMP, 8},  {IDC_CAPTION_OUTDOOR_HUMIDITY, 9},
    {IDC_TITLE_WIND, 10},               {IDC_CAPTION_WIND_SPEED, 11},   {IDC_CAPTION_WIND_DIRECTION, 12},
    {IDC_CAPTION_WIND_GUST, 13},        {IDC_CAPTION_CHANNEL_TEMP, 8},  {IDC_CAPTION_CHANNEL_HUMIDITY, 9},
    {IDC_TITLE_RAIN, 14},               {IDC_CAPTION_DAILY_RAIN, 15},   {IDC_CAPTION_RAIN_RATE, 16},
    {IDC_TITLE_INDEX, 17},              {IDC_CAPTION_UV_INDEX, 20},     {IDC_CAPTION_DEW_POINT, 21},
    {IDC_CAPTION_HEAT_INDEX, 22},       {IDC_LAST_READ_LABEL, 58},
};
constexpr int KEY_RELATIVE_PRESSURE = 18;
constexpr int KEY_ABSOLUTE_PRESSURE = 19;

struct Panel {
    int id;
    COLORREF colour;
};
// In paint order.
const Panel PANELS[] = {
    {IDC_PANEL_INDOOR, INDOOR_FRAME_COLOUR}, {IDC_PANEL_OUTDOOR, FRAME_COLOUR},
    {IDC_PANEL_WIND, FRAME_COLOUR},          {IDC_PANEL_RAIN, FRAME_COLOUR},
    {IDC_PANEL_INDEX, FRAME_COLOUR},         {IDC_PANEL_CHANNEL, CHANNEL_FRAME_COLOUR},
};

RECT valueAreas[VALUE_AREA_COUNT];
// Loaded once and kept for the life of the program: the page paints them
// on every observation.
HBITMAP compassImages[COMPASS_IMAGE_COUNT];
HBITMAP refreshBitmap = nullptr;
HBITMAP refreshPressedBitmap = nullptr;
SIZE refreshSize{};

template <std::size_t N>
bool isOneOf(int id, const int (&ids)[N])
{
    for (int candidate : ids)
        if (candidate == id)
            return true;
    return false;
}

const RECT& valueAreaOf(int control)
{
    for (int i = 0; i < VALUE_AREA_COUNT; ++i)
        if (VALUE_AREAS[i] == control)
            return valueAreas[i];
    return valueAreas[0];
}

SIZE bitmapSize(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info))
        return {};
    return {info.bmWidth, info.bmHeight};
}

void setFont(HWND page, int id, HFONT font)
{
    SendDlgItemMessageW(page, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void loadCompassImages()
{
    for (int i = 0; i < COMPASS_IMAGE_COUNT; ++i) {
        if (!compassImages[i])
            compassImages[i] = LoadBitmapW(appInstance, MAKEINTRESOURCEW(IDB_COMPASS_DIAL + i));
        if (IDB_COMPASS_DIAL + i == IDB_COMPASS_FIRST_POINT)
            compassSize = bitmapSize(compassImages[i]);
    }
}

// The direction control's rectangle relative to the page's client area,
// found from the window and client sizes (the border is taken as equal on
// every side), and the compass centred on it.
void placeCompass(HWND page)
{
    RECT control{};
    RECT window{};
    RECT client{};
    GetWindowRect(GetDlgItem(page, IDC_VALUE_WIND_DIRECTION), &control);
    GetWindowRect(page, &window);
    GetClientRect(page, &client);
    const int border = ((window.right - window.left) - (client.right - client.left)) / 2;
    const int clientLeft = window.left + border;
    const int clientTop = window.bottom - border - (client.bottom - client.top);
    const int left = control.left - clientLeft;
    const int right = control.right - clientLeft;
    const int top = control.top - clientTop;
    const int bottom = control.bottom - clientTop;
    compassOrigin.x = left + (right - left) / 2 - compassSize.cx / 2 + 1;
    compassOrigin.y = top + (bottom - top) / 2 - compassSize.cy / 2 - 2;
}

void loadButtonImages()
{
    if (!refreshBitmap)
        refreshBitmap = LoadBitmapW(appInstance, MAKEINTRESOURCEW(IDB_REFRESH));
    if (!refreshPressedBitmap)
        refreshPressedBitmap = LoadBitmapW(appInstance, MAKEINTRESOURCEW(IDB_REFRESH_PRESSED));
    refreshSize = bitmapSize(refreshBitmap);
    // Shared icons: loaded from the resource section, never destroyed.
    uploadFailedIcon = LoadIconW(appInstance, MAKEINTRESOURCEW(IDI_UPLOAD_FAILED));
    uploadDoneIcon = LoadIconW(appInstance, MAKEINTRESOURCEW(IDI_UPLOAD_DONE));
}

void showStoredLastRead(HWND page)
{
    wchar_t stored[LAST_READ_TEXT_SIZE] = L"";
    if (loadTextSetting(SETTING_DATA, stored, LAST_READ_TEXT_SIZE) && stored[0] != L'\0') {
        SetDlgItemTextW(page, IDC_LAST_READ_TIME, L"");
        SetDlgItemTextW(page, IDC_LAST_READ_TIME, stored);
    }
}

BOOL onInitDialog(HWND page)
{
    dashboardPage = page;
    selectedChannel = FIRST_CHANNEL;
    loadCompassImages();
    placeCompass(page);
    for (int i = 0; i < VALUE_AREA_COUNT; ++i)
        valueAreas[i] = controlRectInParent(page, GetDlgItem(page, VALUE_AREAS[i]));
    loadButtonImages();
    for (int id : TITLES)
        setFont(page, id, TitleFont);
    for (int id : CAPTIONS)
        setFont(page, id, CaptionFont);
    resetToPlaceholders();
    showStoredLastRead(page);
    loadUnitSettings();
    applyDashboardLabels(page);
    return TRUE;
}

void onPaint(HWND page)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    paintDashboard(page, dc);
    EndPaint(page, &paint);
}

INT_PTR onDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item->CtlID != IDC_REFRESH_BUTTON)
        return FALSE;
    HBITMAP bitmap = (item->itemState & ODS_SELECTED) ? refreshPressedBitmap : refreshBitmap;
    HDC source = CreateCompatibleDC(item->hDC);
    const HGDIOBJ previous = SelectObject(source, bitmap);
    const RECT& r = item->rcItem;
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, source, 0, 0, refreshSize.cx,
               refreshSize.cy, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
    return TRUE;
}

void onRefresh(HWND page)
{
    if (deviceReady != 1) {
        showMessageBox(page, L"the Usb Device is not ready!", L"Error", MB_OK);
        return;
    }
    if (!sendCommand(CMD_READ_CURRENT))
        showMessageBox(page, L" Send command Failed! ", L"Error", MB_OK);
}

// Every notification of an arrow counts, a double click too; at the ends
// nothing changes and nothing is repainted.
void onChannelArrow(HWND page, int control)
{
    const int channel =
        control == IDC_CHANNEL_NEXT ? nextChannel(selectedChannel) : previousChannel(selectedChannel);
    if (channel == selectedChannel)
        return;
    selectedChannel = channel;
    wchar_t title[CHANNEL_TITLE_SIZE];
    formatChannelTitle(selectedChannel, title, CHANNEL_TITLE_SIZE);
    SetDlgItemTextW(page, IDC_TITLE_CHANNEL, title);
    InvalidateRect(page, &valueAreaOf(IDC_VALUE_CHANNEL_TEMP), FALSE);
    InvalidateRect(page, &valueAreaOf(IDC_VALUE_CHANNEL_HUMIDITY), FALSE);
}

void onCommand(HWND page, int control)
{
    switch (control) {
    case IDC_REFRESH_BUTTON:
        onRefresh(page);
        break;
    case IDC_CHANNEL_PREVIOUS:
    case IDC_CHANNEL_NEXT:
        onChannelArrow(page, control);
        break;
    }
}

INT_PTR onCtlColorStatic(HDC dc, HWND control)
{
    const int id = GetDlgCtrlID(control);
    if (!pageBrush)
        return 0;
    if (isOneOf(id, TITLES))
        return pageText(dc, TITLE_COLOUR);
    if (isOneOf(id, CAPTIONS))
        return pageText(dc, CAPTION_COLOUR);
    if (id == IDC_LAST_READ_LABEL || id == IDC_LAST_READ_TIME || isOneOf(id, VALUE_AREAS))
        return pageText(dc, VALUE_COLOUR);
    return pageBackground(dc);
}

// The reader's frame lives only during this call: it is copied, cut to
// LIVE_COPY_SIZE bytes and always terminated before it is parsed.
void onLiveRecord(HWND page, LPARAM lParam)
{
    if (lParam == 0)
        return;
    char copy[LIVE_COPY_SIZE];
    std::memcpy(copy, reinterpret_cast<const char*>(lParam), LIVE_COPY_SIZE);
    copy[LIVE_COPY_SIZE - 1] = '\0';
    parseStationRecord(copy, sizeof copy, dashboardFields);
    SendMessageW(statusBar, WM_LOGGER_TEXT, 0,
                 reinterpret_cast<LPARAM>(dashboardFields.text[StationFields::loggerPercent]));
    invalidateValueAreas(page);
    SendMessageW(page, WM_STAMP_LAST_READ, 0, 0);
}

void onStationGone(HWND page)
{
    SendMessageW(statusBar, WM_LOGGER_TEXT, 0,
                 reinterpret_cast<LPARAM>(dashboardFields.text[StationFields::loggerPercent]));
    historyActive = 0;
    invalidateValueAreas(page);
}

void onNoHistory()
{
    showMessageBox(mainWindow, L"Not history data NOW!", L"Note", MB_OK);
}

void onDestroy(HWND page)
{
    if (refreshBitmap)
        DeleteObject(refreshBitmap);
    if (refreshPressedBitmap)
        DeleteObject(refreshPressedBitmap);
    refreshBitmap = nullptr;
    refreshPressedBitmap = nullptr;
    if (dashboardPage == page)
        dashboardPage = nullptr;
}

void setField(int field, const wchar_t* text)
{
    std::wcscpy(dashboardFields.text[field], text);
}

} // namespace

void resetToPlaceholders()
{
    using F = StationFields;
    for (int field : {F::indoorTemp, F::outdoorTemp, F::dewPoint, F::heatIndex, F::ch1Temp, F::ch2Temp,
                      F::ch3Temp, F::ch4Temp, F::ch5Temp, F::ch6Temp, F::ch7Temp})
        setField(field, L"--.-");
    for (int field : {F::loggerPercent, F::indoorHumidity, F::outdoorHumidity, F::windSpeed, F::windGust,
                      F::windDirPoint, F::relPressure, F::absPressure, F::uvIndex, F::ch1Humidity,
                      F::ch2Humidity, F::ch3Humidity, F::ch4Humidity, F::ch5Humidity, F::ch6Humidity,
                      F::ch7Humidity})
        setField(field, L"--");
    setField(F::dailyRain, L"-.-");
    setField(F::rainRate, L"-.-");
    setField(F::windDirDegrees, L"");
}

void applyDashboardLabels(HWND page)
{
    for (const Label& label : LABELS)
        SetDlgItemTextW(page, label.control, languageText(label.key));
    const bool relative = currentUnitSettings().pressureType == PRESSURE_RELATIVE;
    SetDlgItemTextW(page, IDC_CAPTION_PRESSURE,
                    languageText(relative ? KEY_RELATIVE_PRESSURE : KEY_ABSOLUTE_PRESSURE));
}

void stampLastRead(HWND page)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[LAST_READ_TEXT_SIZE];
    formatLastReadText(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, text, LAST_READ_TEXT_SIZE);
    SetDlgItemTextW(page, IDC_LAST_READ_TIME, L"");
    SetDlgItemTextW(page, IDC_LAST_READ_TIME, text);
    storeTextSetting(SETTING_DATA, text);
}

void invalidateValueAreas(HWND page)
{
    for (const RECT& area : valueAreas)
        InvalidateRect(page, &area, FALSE);
    const RECT compass = {compassOrigin.x, compassOrigin.y, compassOrigin.x + compassSize.cx,
                          compassOrigin.y + compassSize.cy};
    InvalidateRect(page, &compass, FALSE);
}

void paintDashboard(HWND page, HDC dc)
{
    for (const Panel& panel : PANELS)
        drawPanelFrame(page, dc, panel.id, panel.colour);
    // One copy of the choices for the whole paint, so every value of it uses
    // the same units.
    const UnitSettings units = currentUnitSettings();
    for (const ValueArea& area : VALUE_PAINT_ORDER) {
        ValueDisplay display;
        prepareValueDisplay(area, dashboardFields, units, selectedChannel, display);
        const RECT& rect = valueAreaOf(area.control);
        if (area.painter == ValuePainter::direction)
            drawDirectionValue(dc, rect, display, compassImages[display.compassImage], compassOrigin);
        else if (area.painter == ValuePainter::centred)
            drawCentredValue(dc, rect, display);
        else
            drawValueWithUnit(dc, rect, display);
    }
}

INT_PTR CALLBACK dashboardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(page);
    case WM_PAINT:
        onPaint(page);
        return 0;
    case WM_DRAWITEM:
        return onDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
        onCommand(page, LOWORD(wParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG:
        return pageBackground(reinterpret_cast<HDC>(wParam));
    case WM_DESTROY:
        onDestroy(page);
        return 0;
    case WM_LIVE_RECORD:
        onLiveRecord(page, lParam);
        return 0;
    case WM_STATION_GONE:
        onStationGone(page);
        return 0;
    case WM_STAMP_LAST_READ:
        stampLastRead(page);
        return 0;
    case WM_NO_HISTORY:
        onNoHistory();
        return 0;
    case WM_HISTORY_DONE:
        onHistoryDone(page);
        return 0;
    case WM_EXPORT_RESULT:
        onExportResult(page, lParam);
        return 0;
    case WM_CLOCK_REQUEST:
        sendClock();
        return 0;
    case WM_FRAME_FB:
        buildWeatherUndergroundRequest(reinterpret_cast<const std::uint8_t*>(lParam));
        return 0;
    case WM_FRAME_F1:
        buildWeathercloudRequest(reinterpret_cast<const std::uint8_t*>(lParam));
        return 0;
    case WM_RELABEL_DASHBOARD:
        applyDashboardLabels(page);
        return 0;
    }
    return FALSE;
}
