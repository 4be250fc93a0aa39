// The export job on Windows: the Export button's checks and save dialog,
// the start of the history download, the export thread and the dashboard's
// handling of its two messages (WM_HISTORY_DONE, WM_EXPORT_RESULT).
#pragma once

#include <windows.h>

#include <commdlg.h>

// WM_EXPORT_RESULT's lParam.
constexpr LPARAM EXPORT_FINISHED = 12;     // written, or cancelled and deleted
constexpr LPARAM EXPORT_WRITE_FAILED = 13; // no file: not created, a write or the close failed

// The save dialog goes through this, so a test can answer it instead of
// hanging on a modal window (message boxes: app/message_box_win.h).
// GetSaveFileNameW unless replaced.
extern BOOL(WINAPI* exportSaveDialog)(LPOPENFILENAMEW dialog);

// Reads the period and data set controls of the export & setup page (dialog
// 131) into exportRequest (the Export button checks into a copy of its
// own). 1 when accepted; 0 after "Year input error !", "Month input error !"
// or "Day input error !" (caption "Error", owned by the page). With "Whole period" checked the date edits are not read.
int validateExportRequest(HWND page);

// The save dialog: filters "(*.csv)" and "(*.xls)", default extension
// "csv". 1 when a name ending in ".csv" or ".xls" (any case) of at most 255
// characters was chosen and stored in exportPath; 0 when the dialog was
// cancelled (nothing shown) or after "File name error!" (caption "ERROR"),
// and when a download or an export began while the dialog was open.
int chooseExportFile(HWND owner);

// Withdraws an earlier request the console has not answered (0, and
// nothing else, when its download has begun), clears transferCancelled and
// historyComplete, zeroes the history store, requests the history
// (historyRequested) and sends CMD_READ_HISTORY. 1 when sent; 0 after
// "Command send failed !" (caption "Error", owned by `owner`).
int startHistoryDownload(HWND owner);

// The Export button of `page`. Ignored (0) while a download runs
// (historyActive, or its first frame taken), while the console is absent
// (deviceReady) and while an export is still being written
// (exportRunning); otherwise the request check and the save dialog, into
// this press's own request and name, and then, if all of that still holds
// after the dialog, they become exportRequest and exportPath and the
// download starts. An earlier press still waiting for the console is
// replaced; one whose download began keeps its request and file, and this
// press asks for nothing. 1 when the history request went out.
int startExport(HWND page);

// The export thread's body: writes the file `path` (exportPath) from the
// history store, then sends WM_EXPORT_RESULT to the page that started it and
// waits for it to be handled; then clears historyActive and exportRunning.
// A cancel (transferCancelled) or a failed write deletes the partial file.
// Returns 1.
DWORD WINAPI ExportThread(void* path);

// The dashboard's WM_HISTORY_DONE: starts ExportThread for exportPath,
// unless the transfer was cancelled while its last record was handled or
// an export is still running.
void onHistoryDone(HWND page);

// The dashboard's WM_EXPORT_RESULT. 13: sets transferCancelled, clears the
// status bar's progress and shows "write file failed !" (caption "Error",
// owned by the main window). Any other value: stamps the last read time on
// the page and clears the progress.
void onExportResult(HWND page, LPARAM result);
