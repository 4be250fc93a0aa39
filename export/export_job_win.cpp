#include "export/export_job_win.h"

#include <cderr.h>

#include <cstdio>
#include <cwchar>

#include "app/message_box_win.h"
#include "export/export_file.h"
#include "export/export_job.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"
#include "readings/history_store.h"
#include "resources/resource_ids.h"

BOOL(WINAPI* exportSaveDialog)(LPOPENFILENAMEW) = GetSaveFileNameW;

namespace {

// Larger than exportPath, so a name too long for it comes back whole and
// can be refused rather than failing inside the dialog.
constexpr DWORD DIALOG_NAME_SIZE = 4096;

const int DATE_EDITS[6] = {IDC_START_YEAR, IDC_START_MONTH, IDC_START_DAY,
                           IDC_END_YEAR,   IDC_END_MONTH,   IDC_END_DAY};

// Receives the running export's result.
HWND exportResultTarget = nullptr;

// The request and file name of the press being handled, between its checks
// and the start of its download. The export that may be waiting for the
// console meanwhile keeps the ones it was started with.
ExportRequest pendingRequest{};
wchar_t pendingPath[EXPORT_PATH_SIZE] = L"";

HWND mainWindowOf(HWND window)
{
    const HWND root = GetAncestor(window, GA_ROOT);
    return root ? root : window;
}

void fileNameError(HWND owner)
{
    showMessageBox(owner, L"File name error!", L"ERROR", MB_OK);
}

// Writes the file and says how it went. The store, the request and the
// name are not changed while this runs: exportRunning refuses every new
// request until the thread is done.
LPARAM writeExport(const wchar_t* path)
{
    if (historyComplete != 1 || path == nullptr || path[0] == L'\0')
        return EXPORT_WRITE_FAILED;
    std::FILE* file = _wfopen(path, L"wb");
    if (!file)
        return EXPORT_WRITE_FAILED;
    std::size_t count = historyTotal;
    if (count > historyStoreCount())
        count = historyStoreCount();
    const ExportOutcome outcome =
        writeExportFile(file, historyStoreSlots(), count, exportRequest, transferCancelled);
    if (outcome == ExportOutcome::written)
        return EXPORT_FINISHED;
    DeleteFileW(path);
    if (outcome == ExportOutcome::cancelled) {
        historyComplete = 0;
        return EXPORT_FINISHED;
    }
    return EXPORT_WRITE_FAILED;
}

// The reader tests the path while it runs: the new name goes over the old
// one with no moment at which it reads empty or unterminated (tail and
// terminator first, the first character last). `name` fits, terminator
// included.
void storeExportPath(const wchar_t* name)
{
    const std::size_t length = std::wcslen(name);
    std::wmemset(exportPath + length, L'\0', EXPORT_PATH_SIZE - length);
    for (std::size_t i = length; i-- > 0;)
        exportPath[i] = name[i];
}

} // namespace

namespace {

int checkExportForm(HWND page, ExportRequest& request)
{
    wchar_t dates[6][EXPORT_DATE_SIZE] = {};
    ExportForm form{};
    form.wholePeriod = IsDlgButtonChecked(page, IDC_WHOLE_PERIOD) == BST_CHECKED;
    if (!form.wholePeriod)
        for (int i = 0; i < 6; ++i)
            GetDlgItemTextW(page, DATE_EDITS[i], dates[i], EXPORT_DATE_SIZE);
    form.startYear = dates[0];
    form.startMonth = dates[1];
    form.startDay = dates[2];
    form.endYear = dates[3];
    form.endMonth = dates[4];
    form.endDay = dates[5];
    for (int i = 0; i < DATA_SET_COUNT; ++i)
        form.dataSets[i] = IsDlgButtonChecked(page, IDC_DATA_SET_PRESSURE + i) == BST_CHECKED;

    const ExportCheck check = checkExportRequest(form, request);
    if (check == ExportCheck::accepted)
        return 1;
    showMessageBox(page, exportCheckMessage(check), L"Error", MB_OK | MB_ICONERROR);
    return 0;
}

// The save dialog, with the chosen name left in `chosen`.
int chooseFileName(HWND owner, wchar_t* chosen)
{
    static wchar_t name[DIALOG_NAME_SIZE];
    name[0] = L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = L"(*.csv)\0*.csv\0(*.xls)\0*.xls\0";
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = name;
    dialog.nMaxFile = DIALOG_NAME_SIZE;
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_HIDEREADONLY | OFN_NONETWORKBUTTON | OFN_LONGNAMES;
    if (!exportSaveDialog(&dialog)) {
        // Even our large buffer was too small: certainly too long a name.
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            fileNameError(owner);
        return 0;
    }
    name[DIALOG_NAME_SIZE - 1] = L'\0';
    if (name[0] == L'\0')
        return 0;
    if (std::wcslen(name) >= EXPORT_PATH_SIZE || !hasExportExtension(name)) {
        fileNameError(owner);
        return 0;
    }
    std::wcscpy(chosen, name);
    return 1;
}

// A download or an export writing its file: the store, the request and the
// file name are theirs.
bool downloadOrExportRunning()
{
    return historyActive != 0 || exportRunning != 0 || historyRequested == HISTORY_TAKEN;
}

// Whether a new export may start now. Asked before the dialogs and again
// after them, since the console may have gone, or a download begun, while
// they were open.
bool readyForExport()
{
    return deviceReady == 1 && !downloadOrExportRunning();
}

} // namespace

int validateExportRequest(HWND page)
{
    return checkExportForm(page, exportRequest);
}

int chooseExportFile(HWND owner)
{
    wchar_t chosen[EXPORT_PATH_SIZE];
    if (!chooseFileName(owner, chosen))
        return 0;
    // The dialog is modal: a download may have begun meanwhile, and the
    // reader and a running export read the path.
    if (downloadOrExportRunning())
        return 0;
    storeExportPath(chosen);
    return 1;
}

int startHistoryDownload(HWND owner)
{
    // An earlier request the console has not answered yet is replaced; one
    // whose download has begun is left to run.
    if (!withdrawHistoryRequest())
        return 0;
    transferCancelled = 0;
    // Left at 1 by the last finished export; the next export thread must
    // see only this download's completion.
    historyComplete = 0;
    // No request stands now, so the reader takes no frame into the store
    // while it is cleared; the request goes up before the command, so the
    // console's first answer finds it.
    clearHistoryStore();
    historyRequested = HISTORY_REQUESTED;
    if (sendCommand(CMD_READ_HISTORY) == 1)
        return 1;
    withdrawHistoryRequest();
    showMessageBox(owner, L"Command send failed !", L"Error", MB_OK);
    return 0;
}

int startExport(HWND page)
{
    if (!readyForExport())
        return 0;
    if (checkExportForm(page, pendingRequest) != 1)
        return 0;
    if (chooseFileName(page, pendingPath) != 1)
        return 0;
    // The dialog was modal: the console may have gone, or the download of an
    // earlier press begun, meanwhile. That export keeps its own request and
    // file; this press then asks for nothing.
    if (!readyForExport() || !withdrawHistoryRequest())
        return 0;
    exportRequest = pendingRequest;
    storeExportPath(pendingPath);
    return startHistoryDownload(mainWindowOf(page));
}

DWORD WINAPI ExportThread(void* path)
{
    const LPARAM result = writeExport(static_cast<const wchar_t*>(path));
    SendMessageW(exportResultTarget, WM_EXPORT_RESULT, 0, result);
    historyActive = 0;
    exportRunning = 0;
    return 1;
}

void onHistoryDone(HWND page)
{
    // A cancel (or the console's removal) that came while the last record
    // was being handled: the user asked for no file. Clearing the flag in
    // the thread instead, as might seem natural, could undo a cancel made
    // before the thread first ran.
    if (transferCancelled != 0 || exportRunning != 0)
        return;
    exportResultTarget = page;
    exportRunning = 1;
    const HANDLE thread = CreateThread(nullptr, 0, ExportThread, exportPath, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    exportRunning = 0;
    onExportResult(page, EXPORT_WRITE_FAILED);
    historyActive = 0;
}

void onExportResult(HWND page, LPARAM result)
{
    if (result == EXPORT_WRITE_FAILED) {
        transferCancelled = 1;
        if (statusBar)
            SendMessageW(statusBar, WM_PROGRESS_CLEAR, 0, 0);
        showMessageBox(mainWindowOf(page), L"write file failed !", L"Error", MB_OK);
        return;
    }
    SendMessageW(page, WM_STAMP_LAST_READ, 0, 0);
    if (statusBar)
        SendMessageW(statusBar, WM_PROGRESS_CLEAR, 0, 0);
}
