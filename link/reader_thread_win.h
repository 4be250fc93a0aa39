// The reader thread: the only reader of the console. One blocking overlapped
// read of 65 bytes at a time; each report goes through handleInputReport,
// whose answers are written with sendCommand and whose messages are sent
// (SendMessageW) to the target window, or to the status bar for the two
// history counts.
#pragma once

#include <windows.h>

#include <cstddef>

#include "readings/station_record.h"

// Receives WM_HISTORY_TOTAL, WM_HISTORY_PROGRESS and the reader's
// WM_PROGRESS_CLEAR (the console refused the transfer); null until the
// status bar exists (those messages are then dropped).
extern HWND statusBar;

// Receives WM_STATION_CONNECTION wParam 5, posted once per reader, when the
// console path's pipe breaks: a pipe has no device notification of its
// own. Null: nobody is told. The HID console's removal comes from
// WM_DEVICECHANGE instead, so a HID reader never posts it. The lParam is
// the posting reader's readerGeneration(): a report still queued when a
// newer connection has started is about a console that is already gone.
extern HWND connectionReceiver;

// How long the reader sleeps while there is no usable handle, and how long
// a blocked read goes without looking at readerStop.
constexpr DWORD READER_IDLE_MS = 100;
// Shutdown waits this long for the reader before the device is released.
constexpr DWORD READER_STOP_TIMEOUT_MS = 1000;
// Reads in a row that fail without saying the console is gone, after which
// the console path counts as gone all the same.
constexpr unsigned READER_FAILED_READS_LIMIT = 10;

// Where history records go and the export file name that lets them in; the
// program hands over its history store and the export job's exportPath when
// its main window is made. Until then, and while the name is empty or null,
// history frames are ignored. A reader takes the slots when it starts; it
// reads the name at every history packet.
void setReaderHistory(StationRecord* slots, std::size_t slotCount, const wchar_t* exportPath);

// Starts the reader with `target` (the dashboard page) as the receiver of
// its messages, after stopping and awaiting a reader left from an earlier
// connection: two readers never share the handle. Clears readerStop.
// Returns 1, or 0 when the earlier reader would not end or no thread could
// be made.
int startReader(HWND target);

// Sets readerStop, wakes the reader and waits up to timeoutMs for it to end.
// Messages sent to the calling thread's windows are handled meanwhile, so a
// reader blocked in SendMessageW to them can finish its pass. Returns true
// when no reader runs any more.
bool stopReader(DWORD timeoutMs);

// The number of the reader started last (1 for the first); 0 before any.
LPARAM readerGeneration();

// Waits like stopReader, without telling the reader anything: it ends by
// itself once readerStop is set.
bool awaitReader(DWORD timeoutMs);

// The clock exchange: CMD_SET_DATE, 100 ms, CMD_SET_TIME, both from one
// reading of the PC's local time. Results are not examined.
void sendClock();
