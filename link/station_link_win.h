// The link's share of the main window's connection handling and shutdown.
#pragma once

#include <windows.h>

// The console was opened: deviceReady = 1, transferCancelled = 0, the
// reader started with `target` as its receiver, then CMD_STOP and, 100 ms
// later, CMD_READ_CURRENT (results not examined).
void stationConnected(HWND target);

// The console is absent or was removed: readerStop = 1, deviceReady = 0,
// and any transfer is cancelled (cancelHistoryTransfer). The handle stays
// open until the next search replaces it.
void stationRemoved();

// Shutdown: stops the reader, waiting up to timeoutMs, then closes and
// releases the device object. Returns false when the reader did not end;
// the device object is then kept, since the reader still reads it.
bool releaseStation(DWORD timeoutMs);
