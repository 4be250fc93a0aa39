#include "app/main_window_win.h"

#include <algorithm>
#include <initializer_list>
#include <new>

#include "app/app_state_win.h"
#include "app/header_bar_win.h"
#include "app/language_tables.h"
#include "app/language_tables_win.h"
#include "app/status_bar_win.h"
#include "dashboard/dashboard_page_win.h"
#include "export/export_job.h"
#include "link/console_option.h"
#include "link/device_notify_win.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "link/station_link_win.h"
#include "readings/history_store.h"
#include "resources/resource_ids.h"
#include "settings/settings_store_win.h"
#include "settings/setup_page_win.h"

wchar_t windowClassName[100] = L"";
wchar_t windowTitle[100] = L"";

namespace {

constexpr int KEY_CONNECTED = 55;
constexpr int KEY_NO_CONNECTION = 56;

// A console path (the simulator's pipe) sends no arrival notification, so
// while it is absent it is tried again at this interval.
constexpr UINT_PTR CONSOLE_RETRY_TIMER = 1;
constexpr UINT CONSOLE_RETRY_MS = 1500;

HWND createChild(HWND window, int templateId, DLGPROC procedure, bool shown)
{
    HWND child = CreateDialogParamW(appInstance, MAKEINTRESOURCEW(templateId), window, procedure, 0);
    if (child) {
        ShowWindow(child, shown ? SW_SHOW : SW_HIDE);
        UpdateWindow(child);
    }
    return child;
}

// The header bar comes first: its initialisation makes the fonts and the
// brush the other three paint with.
LRESULT onCreate(HWND window)
{
    mainWindow = window;
    connectionReceiver = window;
    notificationHandle = registerStationNotifications(window);
    headerBar = createChild(window, IDD_HEADER_BAR, headerBarProc, true);
    dashboardPage = createChild(window, IDD_DASHBOARD, dashboardPageProc, true);
    setupPage = createChild(window, IDD_SETUP_PAGE, setupPageProc, false);
    statusBar = createChild(window, IDD_STATUS_BAR, statusBarProc, true);
    return 0;
}

int windowHeight(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r.bottom - r.top;
}

int windowWidth(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r.right - r.left;
}

int headerHeight()
{
    RECT r{};
    GetClientRect(headerBar, &r);
    return r.bottom;
}

void deferSize(HDWP& batch, HWND child, int width, int height)
{
    if (batch && child)
        batch = DeferWindowPos(batch, child, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void moveChild(HWND child, int y, int width, int height)
{
    if (child)
        MoveWindow(child, 0, y, width, height, TRUE);
}

// Header bar on top, the pages below it, the status bar at the bottom, all
// as wide as the client area.
void layoutChildren(HWND window)
{
    if (!headerBar || !statusBar)
        return;
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right;
    const int bottom = client.bottom;
    const int top = headerHeight();
    const int statusHeight = windowHeight(statusBar);
    const int pageHeight = std::max(0, bottom - top - statusHeight);
    HDWP batch = BeginDeferWindowPos(4);
    deferSize(batch, headerBar, width, top);
    deferSize(batch, setupPage, width, pageHeight);
    deferSize(batch, dashboardPage, width, pageHeight);
    deferSize(batch, statusBar, width, statusHeight);
    if (batch)
        EndDeferWindowPos(batch);
    moveChild(headerBar, 0, width, top);
    moveChild(setupPage, top, width, pageHeight);
    moveChild(dashboardPage, top, width, pageHeight);
    moveChild(statusBar, bottom - statusHeight, width, statusHeight);
}

// The client area the four templates need: as wide as the widest, as high
// as header, page and status bar together.
SIZE childrenClientSize()
{
    SIZE size{0, 0};
    if (!headerBar || !statusBar)
        return size;
    int pageHeight = 0;
    for (HWND child : {headerBar, dashboardPage, setupPage, statusBar}) {
        if (!child)
            continue;
        size.cx = std::max(size.cx, static_cast<LONG>(windowWidth(child)));
        if (child == dashboardPage || child == setupPage)
            pageHeight = std::max(pageHeight, windowHeight(child));
    }
    size.cy = headerHeight() + pageHeight + windowHeight(statusBar);
    return size;
}

// Sized from the dialogs as created, so nothing of a template is cut off
// whatever the dialog font measures on this system.
void fitToChildren(HWND window)
{
    const SIZE outer = mainWindowSizeFor(childrenClientSize());
    SetWindowPos(window, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    layoutChildren(window);
}

void showPage(WPARAM page)
{
    if (page != PAGE_DASHBOARD && page != PAGE_SETUP)
        return;
    currentPage = static_cast<std::uint32_t>(page);
    HWND hide = page == PAGE_DASHBOARD ? setupPage : dashboardPage;
    HWND show = page == PAGE_DASHBOARD ? dashboardPage : setupPage;
    if (hide)
        ShowWindow(hide, SW_HIDE);
    if (show) {
        ShowWindow(show, SW_SHOW);
        UpdateWindow(show);
    }
    // The tabs change colour and the outline opens under the other tab.
    if (headerBar)
        RedrawWindow(headerBar, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void onStationPresent()
{
    if (mainWindow)
        KillTimer(mainWindow, CONSOLE_RETRY_TIMER);
    SetDlgItemTextW(statusBar, IDC_CONNECTION_TEXT, languageText(KEY_CONNECTED));
    showConnectionDot(statusBar, true);
    stationConnected(dashboardPage);
}

// The reader is told to stop and a running transfer is cancelled; the
// handle stays open until the next search replaces it.
void onStationAbsent()
{
    stationRemoved();
    SetDlgItemTextW(statusBar, IDC_CONNECTION_TEXT, languageText(KEY_NO_CONNECTION));
    showConnectionDot(statusBar, false);
    resetToPlaceholders();
    SendMessageW(dashboardPage, WM_STATION_GONE, 0, 0);
    SendMessageW(statusBar, WM_PROGRESS_CLEAR, 0, 0);
    if (setupPage)
        stopUploadsOnRemoval(setupPage);
    if (consolePath[0] != L'\0' && mainWindow)
        SetTimer(mainWindow, CONSOLE_RETRY_TIMER, CONSOLE_RETRY_MS, nullptr);
}

// A reader's loss report (lParam: its number) is stale once a newer reader
// serves a new connection: that console was lost and replaced already.
LRESULT onStationConnection(WPARAM state, LPARAM reader = 0)
{
    if (reader != 0 && reader != readerGeneration())
        return 1;
    if (state == STATION_PRESENT)
        onStationPresent();
    else if (state == STATION_ABSENT)
        onStationAbsent();
    return 1;
}

// The console path is opened again, as an arrival would for a HID console.
void onConsoleRetry(HWND window)
{
    if (deviceReady == 1 || !stationDevice) {
        KillTimer(window, CONSOLE_RETRY_TIMER);
        return;
    }
    if (stationDevice->openStation())
        onStationConnection(STATION_PRESENT);
}

// An emptied edit keeps the stored credential: only texts are stored.
void storeCredentials()
{
    if (!setupPage)
        return;
    const bool second = selectedService == 1;
    const struct {
        int edit;
        SettingValue value;
    } fields[] = {{IDC_STATION_ID, second ? SETTING_ID1 : SETTING_ID},
                  {IDC_STATION_KEY, second ? SETTING_KEY1 : SETTING_KEY}};
    for (const auto& field : fields) {
        wchar_t text[CREDENTIAL_EDIT_LIMIT] = L"";
        GetDlgItemTextW(setupPage, field.edit, text, CREDENTIAL_EDIT_LIMIT);
        if (text[0] != L'\0')
            storeTextSetting(field.value, text);
    }
}

// The reader is stopped and awaited before the device it reads is
// released; a reader that does not end in time keeps the device object.
LRESULT onDestroy()
{
    KillTimer(mainWindow, CONSOLE_RETRY_TIMER);
    connectionReceiver = nullptr;
    releaseStation(READER_STOP_TIMEOUT_MS);
    storeCredentials();
    storeLanguageService(LanguageService{language, selectedService});
    if (notificationHandle)
        UnregisterDeviceNotification(notificationHandle);
    notificationHandle = nullptr;
    PostQuitMessage(0);
    return 0;
}

LRESULT onPaint(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
    return 0;
}

} // namespace

SIZE mainWindowSizeFor(SIZE client)
{
    RECT r{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&r, MAIN_WINDOW_STYLE, FALSE, 0);
    return SIZE{std::max(static_cast<LONG>(MAIN_WINDOW_MIN_WIDTH), r.right - r.left),
                std::max(static_cast<LONG>(MAIN_WINDOW_MIN_HEIGHT), r.bottom - r.top)};
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        return onCreate(window);
    case WM_DESTROY:
        return onDestroy();
    case WM_NCDESTROY:
        if (mainWindow == window)
            mainWindow = nullptr;
        break;
    case WM_SIZE:
        layoutChildren(window);
        return 0;
    case WM_PAINT:
        return onPaint(window);
    case WM_ERASEBKGND:
        return 0;
    case WM_DEVICECHANGE:
        return handleDeviceChange(window, wParam, lParam);
    case WM_STATION_CONNECTION:
        return onStationConnection(wParam, lParam);
    case WM_TIMER:
        if (wParam == CONSOLE_RETRY_TIMER) {
            onConsoleRetry(window);
            return 0;
        }
        break;
    case WM_SHOW_PAGE:
        showPage(wParam);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int registerMainWindowClass(HINSTANCE instance)
{
    LoadStringW(instance, IDS_WINDOW_TITLE, windowTitle, 100);
    LoadStringW(instance, IDS_WINDOW_CLASS, windowClassName, 100);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_PROGRAM));
    windowClass.hIconSm = windowClass.hIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = windowClassName;
    if (RegisterClassExW(&windowClass))
        return 1;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS ? 1 : 0;
}

int createMainWindow(HINSTANCE instance, int showCommand)
{
    appInstance = instance;
    const LanguageService choice = loadLanguageService();
    language = choice.language;
    selectedService = choice.selectedService;
    currentPage = PAGE_DASHBOARD;
    prepareLanguageTables();

    HWND window = CreateWindowExW(0, windowClassName, windowTitle, MAIN_WINDOW_STYLE, CW_USEDEFAULT, 0,
                                  MAIN_WINDOW_MIN_WIDTH, MAIN_WINDOW_MIN_HEIGHT, nullptr, nullptr, instance,
                                  nullptr);
    if (!window)
        return 0;
    mainWindow = window;
    fitToChildren(window);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    setReaderHistory(historyStoreSlots(), historyStoreCount(), exportPath);
    if (!stationDevice)
        stationDevice = new (std::nothrow) StationDevice;
    if (stationDevice)
        SendMessageW(window, WM_STATION_CONNECTION, stationDevice->openStation() ? STATION_PRESENT : STATION_ABSENT,
                     0);
    return 1;
}
