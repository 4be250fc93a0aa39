// The upload worker: a thread of its own that delivers the requests the
// dashboard builds, one at a time in the order they were posted, and tells
// the export & setup page about each success.
#pragma once

#include <windows.h>

// 0 until the worker runs; requests are posted to this thread.
extern DWORD uploadWorkerThreadId;

// Starts the worker the first time it is called and returns once its
// message queue exists, so no request posted afterwards is lost. Returns 1
// when the worker runs (also when it already did), 0 when the thread could
// not be created.
//
// Messages the worker takes (all others, WM_QUIT too, are ignored):
//   WM_UPLOAD_WU / WM_UPLOAD_WC: wParam a malloc'ed, zero-terminated request
//   for Weather Underground / Weathercloud, freed by the worker. A request of
//   1024 bytes or more is dropped, not cut.
// It reports with SendMessageW to setupPage, wParam and lParam 0:
//   WM_UPLOAD_SUCCESS: Weather Underground took an upload;
//   WM_UPLOAD_OK: Weathercloud took one.
int startUploadWorker();

// Applies every "--wu-host=HOST[:PORT]" and "--wc-host=HOST[:PORT]" of the
// command line to uploadHosts; a malformed one is ignored. Returns the
// number applied.
int parseUploadHostOptions(const wchar_t* commandLine);
