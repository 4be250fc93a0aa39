#include "app/status_bar_win.h"

#include <cwchar>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/shared_drawing_win.h"
#include "app/status_texts.h"
#include "link/commands.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/station_device_win.h"
#include "resources/resource_ids.h"

namespace {

constexpr COLORREF STATUS_TEXT_COLOUR = RGB(145, 145, 145);
constexpr int KEY_EXPORTING = 53;
constexpr int KEY_LOGGER = 54;
constexpr int KEY_CONNECTED = 55;
constexpr int KEY_NO_CONNECTION = 56;
// Runs of blanks drawn first, in the background colour, over the previous
// text.
constexpr wchar_t LOGGER_BLANKS[] = L"                               ";       // 31
constexpr wchar_t PROGRESS_BLANKS[] = L"                                   "; // 35

wchar_t loggerText[STATUS_TEXT_SIZE] = L"Logger --%";
wchar_t progressText[STATUS_TEXT_SIZE] = L"";
std::uint32_t historyTotalShown = 0;
RECT loggerArea{};
RECT progressArea{};

void invalidateProgress(HWND dialog)
{
    InvalidateRect(dialog, &progressArea, FALSE);
}

BOOL onInitDialog(HWND dialog)
{
    statusBar = dialog;
    loggerArea = controlRectInParent(dialog, GetDlgItem(dialog, IDC_LOGGER_AREA));
    progressArea = controlRectInParent(dialog, GetDlgItem(dialog, IDC_PROGRESS_AREA));
    ShowWindow(GetDlgItem(dialog, IDC_CANCEL_TRANSFER), SW_HIDE);
    std::wcscpy(loggerText, INITIAL_LOGGER_TEXT);
    progressText[0] = L'\0';
    historyTotalShown = 0;
    relabelStatusBar(dialog);
    return TRUE;
}

void drawInArea(HDC dc, const wchar_t* blanks, const wchar_t* text, RECT area, UINT align)
{
    const UINT flags = align | DT_SINGLELINE | DT_NOPREFIX;
    DrawTextW(dc, blanks, -1, &area, flags);
    DrawTextW(dc, text, -1, &area, flags);
}

void onPaint(HWND dialog)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(dialog, &paint);
    // The dialog's own font, so the level reads like the label beside it.
    const HGDIOBJ previousFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
    SetTextColor(dc, STATUS_TEXT_COLOUR);
    SetBkColor(dc, pageColour);
    drawInArea(dc, LOGGER_BLANKS, loggerText, loggerArea, DT_RIGHT);
    drawInArea(dc, PROGRESS_BLANKS, progressText, progressArea, DT_LEFT);
    SelectObject(dc, previousFont);
    EndPaint(dialog, &paint);
}

void hideCancelAndClear(HWND dialog)
{
    ShowWindow(GetDlgItem(dialog, IDC_CANCEL_TRANSFER), SW_HIDE);
    progressText[0] = L'\0';
    invalidateProgress(dialog);
}

// The cross: the console stops sending, the reader drops what still comes
// and a running export deletes its partial file.
void onCancel(HWND dialog)
{
    cancelHistoryTransfer();
    sendCommand(CMD_STOP);
    hideCancelAndClear(dialog);
}

void onCommand(HWND dialog, WPARAM wParam)
{
    if (LOWORD(wParam) == IDC_CANCEL_TRANSFER)
        onCancel(dialog);
}

INT_PTR onCtlColorStatic(HDC dc, HWND control)
{
    const int id = GetDlgCtrlID(control);
    const bool statusText = (id >= 1115 && id <= IDC_LOGGER_ICON) || id == IDC_CONNECTION_TEXT
                            || id == IDC_LOGGER_LABEL;
    if (statusText && pageBrush)
        return pageText(dc, STATUS_TEXT_COLOUR);
    return pageBackground(dc);
}

void onLoggerText(HWND dialog, LPARAM lParam)
{
    makeLoggerText(reinterpret_cast<const wchar_t*>(lParam), loggerText);
    InvalidateRect(dialog, &loggerArea, FALSE);
}

void onHistoryTotal(HWND dialog, LPARAM lParam)
{
    historyTotalShown = static_cast<std::uint32_t>(lParam);
    ShowWindow(GetDlgItem(dialog, IDC_CANCEL_TRANSFER), SW_SHOW);
}

void onHistoryProgress(HWND dialog, LPARAM lParam)
{
    progressText[0] = L'\0';
    if (transferCancelled == 0) {
        const int percent = progressPercent(static_cast<std::uint32_t>(lParam), historyTotalShown);
        if (percent >= 0)
            makeProgressText(languageText(KEY_EXPORTING), percent, progressText);
    }
    invalidateProgress(dialog);
}

} // namespace

const wchar_t* statusLoggerText()
{
    return loggerText;
}

const wchar_t* statusProgressText()
{
    return progressText;
}

void relabelStatusBar(HWND dialog)
{
    SetDlgItemTextW(dialog, IDC_LOGGER_LABEL, languageText(KEY_LOGGER));
    SetDlgItemTextW(dialog, IDC_CONNECTION_TEXT,
                    languageText(deviceReady == 1 ? KEY_CONNECTED : KEY_NO_CONNECTION));
}

void showConnectionDot(HWND dialog, bool connected)
{
    const HICON dot =
        LoadIconW(appInstance, MAKEINTRESOURCEW(connected ? IDI_CONNECTED_DOT : IDI_DISCONNECTED_DOT));
    SendDlgItemMessageW(dialog, IDC_CONNECTION_DOT, STM_SETICON, reinterpret_cast<WPARAM>(dot), 0);
}

INT_PTR CALLBACK statusBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return onInitDialog(dialog);
    case WM_PAINT:
        onPaint(dialog);
        return TRUE;
    case WM_COMMAND:
        onCommand(dialog, wParam);
        return TRUE;
    case WM_CTLCOLORSTATIC:
        return onCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORDLG:
        return pageBackground(reinterpret_cast<HDC>(wParam));
    case WM_LOGGER_TEXT:
        onLoggerText(dialog, lParam);
        return TRUE;
    case WM_HISTORY_TOTAL:
        onHistoryTotal(dialog, lParam);
        return TRUE;
    case WM_HISTORY_PROGRESS:
        onHistoryProgress(dialog, lParam);
        return TRUE;
    case WM_PROGRESS_CLEAR:
        hideCancelAndClear(dialog);
        return TRUE;
    case WM_RELABEL_STATUS:
        relabelStatusBar(dialog);
        return TRUE;
    case WM_DESTROY:
        // The reader drops its counts once there is no bar to show them.
        if (statusBar == dialog)
            statusBar = nullptr;
        return TRUE;
    }
    return FALSE;
}
