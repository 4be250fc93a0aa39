#include "app/header_bar_win.h"

#include <shellapi.h>

#include <cwchar>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/shared_drawing_win.h"
#include "link/messages.h"
#include "resources/resource_ids.h"

namespace {

constexpr COLORREF TAB_TEXT_COLOUR = RGB(100, 100, 100);
constexpr COLORREF OUTLINE_COLOUR = RGB(145, 145, 145);
constexpr int KEY_LANGUAGE_NAME = 1;
constexpr int KEY_TAB_DASHBOARD = 4;
constexpr int KEY_TAB_SETUP = 5;

HBITMAP helpBitmap = nullptr;
HBITMAP helpPressedBitmap = nullptr;
SIZE helpBitmapSize{};

void relabelTabs(HWND dialog)
{
    SetDlgItemTextW(dialog, IDC_TAB_DASHBOARD, languageText(KEY_TAB_DASHBOARD));
    // French and Spanish say "export & setup" at a length that needs the
    // smaller font to stay inside the tab.
    const bool longTitle = language == LANGUAGE_FRENCH || language == LANGUAGE_SPANISH;
    SendDlgItemMessageW(dialog, IDC_TAB_SETUP, WM_SETFONT,
                        reinterpret_cast<WPARAM>(longTitle ? SmallBoldFont : TabFont), FALSE);
    SetDlgItemTextW(dialog, IDC_TAB_SETUP, languageText(KEY_TAB_SETUP));
}

void fillLanguageList(HWND dialog)
{
    // Each language's own name, in table order: the position is the index.
    for (std::uint32_t table = 0; table < LANGUAGE_COUNT; ++table)
        SendDlgItemMessageW(dialog, IDC_LANGUAGE_LIST, CB_INSERTSTRING, table,
                            reinterpret_cast<LPARAM>(languageTableText(table, KEY_LANGUAGE_NAME)));
    SendDlgItemMessageW(dialog, IDC_LANGUAGE_LIST, CB_SETCURSEL, language, 0);
}

BOOL onInitDialog(HWND dialog)
{
    headerBar = dialog;
    createSharedDrawingObjects();
    helpBitmap = LoadBitmapW(appInstance, MAKEINTRESOURCEW(IDB_HELP));
    helpPressedBitmap = LoadBitmapW(appInstance, MAKEINTRESOURCEW(IDB_HELP_PRESSED));
    BITMAP info{};
    if (helpBitmap && GetObjectW(helpBitmap, sizeof info, &info))
        helpBitmapSize = SIZE{info.bmWidth, info.bmHeight};
    SendDlgItemMessageW(dialog, IDC_TAB_DASHBOARD, WM_SETFONT, reinterpret_cast<WPARAM>(TabFont), FALSE);
    SendDlgItemMessageW(dialog, IDC_TAB_SETUP, WM_SETFONT, reinterpret_cast<WPARAM>(TabFont), FALSE);
    SendDlgItemMessageW(dialog, IDC_LANGUAGE_LIST, WM_SETFONT, reinterpret_cast<WPARAM>(SmallBoldFont),
                        FALSE);
    fillLanguageList(dialog);
    relabelTabs(dialog);
    return TRUE;
}

void onLanguageChosen(HWND dialog)
{
    const LRESULT chosen = SendDlgItemMessageW(dialog, IDC_LANGUAGE_LIST, CB_GETCURSEL, 0, 0);
    if (chosen < 0 || chosen >= static_cast<LRESULT>(LANGUAGE_COUNT))
        return; // nothing selected: keep the language in use
    language = static_cast<std::uint32_t>(chosen);
    SendMessageW(headerBar, WM_RELABEL_HEADER, 0, 0);
    SendMessageW(dashboardPage, WM_RELABEL_DASHBOARD, 0, 0);
    SendMessageW(setupPage, WM_RELABEL_SETUP, 0, 0);
    SendMessageW(statusBar, WM_RELABEL_STATUS, 0, 0);
}

void openHelp(HWND dialog)
{
    wchar_t path[MAX_PATH];
    if (helpFilePath(path, MAX_PATH))
        ShellExecuteW(dialog, L"open", path, L"", L"", SW_SHOW);
}

void onCommand(HWND dialog, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDC_TAB_DASHBOARD:
        SendMessageW(mainWindow, WM_SHOW_PAGE, PAGE_DASHBOARD, 0);
        break;
    case IDC_TAB_SETUP:
        SendMessageW(mainWindow, WM_SHOW_PAGE, PAGE_SETUP, 0);
        break;
    case IDC_LANGUAGE_LIST:
        onLanguageChosen(dialog);
        break;
    case IDC_HELP_BUTTON:
        openHelp(dialog);
        break;
    }
}

INT_PTR onDrawItem(const DRAWITEMSTRUCT* item)
{
    if (item->CtlID != IDC_HELP_BUTTON)
        return FALSE;
    const HBITMAP bitmap = (item->itemState & ODS_SELECTED) ? helpPressedBitmap : helpBitmap;
    HDC memory = CreateCompatibleDC(item->hDC);
    const HGDIOBJ previous = SelectObject(memory, bitmap);
    const RECT& r = item->rcItem;
    StretchBlt(item->hDC, r.left, r.top, r.right - r.left, r.bottom - r.top, memory, 0, 0,
               helpBitmapSize.cx, helpBitmapSize.cy, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return TRUE;
}

// The outline runs along the top of both tabs, down the right edge of the
// second, and on along the bottom of the bar; the line under the tab of the
// shown page is drawn in the page colour, so that tab opens onto its page.
void drawTabOutline(HWND dialog, HDC dc)
{
    const RECT b = controlRectInParent(dialog, GetDlgItem(dialog, IDC_TAB_SETUP));
    RECT client{};
    GetClientRect(dialog, &client);
    const int w = b.right - b.left;
    HPEN grey = CreatePen(PS_SOLID, 1, OUTLINE_COLOUR);
    HPEN page = CreatePen(PS_SOLID, 1, pageColour);
    const HGDIOBJ previousPen = SelectObject(dc, grey);
    const HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));

    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, b.right, 1);
    LineTo(dc, b.right, b.bottom);
    LineTo(dc, client.right, b.bottom);
    MoveToEx(dc, w, 1, nullptr);
    LineTo(dc, w, b.bottom);

    const bool dashboardShown = currentPage != PAGE_SETUP;
    SelectObject(dc, grey);
    MoveToEx(dc, w, b.bottom, nullptr);
    LineTo(dc, dashboardShown ? b.right : 0, b.bottom);
    SelectObject(dc, page);
    MoveToEx(dc, w, b.bottom, nullptr);
    LineTo(dc, dashboardShown ? 0 : b.right, b.bottom);

    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(grey);
    DeleteObject(page);
}

void onPaint(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    drawTabOutline(dialog, dc);
    EndPaint(dialog, &paint);
}

INT_PTR onCtlColorStatic(HDC dc, HWND control)
{
    const int id = GetDlgCtrlID(control);
    if (id != IDC_TAB_DASHBOARD && id != IDC_TAB_SETUP)
        return pageBackground(dc);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TAB_TEXT_COLOUR);
    const bool shown = (id == IDC_TAB_SETUP) == (currentPage == PAGE_SETUP);
    if (shown && pageBrush)
        return reinterpret_cast<INT_PTR>(pageBrush);
    return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

void onRelabel(HWND dialog)
{
    relabelTabs(dialog);
    InvalidateRect(GetDlgItem(dialog, IDC_TAB_DASHBOARD), nullptr, TRUE);
    InvalidateRect(GetDlgItem(dialog, IDC_TAB_SETUP), nullptr, TRUE);
}

void onDestroy()
{
    deleteSharedDrawingObjects();
    if (helpBitmap)
        DeleteObject(helpBitmap);
    if (helpPressedBitmap)
        DeleteObject(helpPressedBitmap);
    helpBitmap = nullptr;
    helpPressedBitmap = nullptr;
    headerBar = nullptr;
}

} // namespace

int helpFilePath(wchar_t* path, DWORD capacity)
{
    const DWORD length = GetModuleFileNameW(nullptr, path, capacity);
    if (length == 0 || length >= capacity)
        return 0;
    wchar_t* lastSeparator = std::wcsrchr(path, L'\\');
    const std::size_t folderLength = lastSeparator ? static_cast<std::size_t>(lastSeparator - path) : 0;
    const std::size_t nameLength = std::wcslen(HELP_FILE_NAME);
    if (folderLength + 1 + nameLength + 1 > capacity)
        return 0;
    path[folderLength] = L'\\';
    std::wcscpy(path + folderLength + 1, HELP_FILE_NAME);
    return 1;
}

INT_PTR CALLBACK headerBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_COMMAND:
        onCommand(dialog, wParam);
        return TRUE;
    case WM_DRAWITEM:
        return onDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_PAINT:
        onPaint(dialog);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG:
        return pageBackground(reinterpret_cast<HDC>(wParam));
    case WM_RELABEL_HEADER:
        onRelabel(dialog);
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        return TRUE;
    }
    return FALSE;
}
