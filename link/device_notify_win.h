// The system's HID arrival and removal notifications, turned into
// WM_STATION_CONNECTION for the main window.
#pragma once

#include <windows.h>

// Registers `window` for interface notifications of the HID class. Returns
// the registration (release it with UnregisterDeviceNotification), or null.
HDEVNOTIFY registerStationNotifications(HWND window);

// The main window's WM_DEVICECHANGE handling; returns the window
// procedure's result. An interface event whose name (lower-cased in place)
// holds "vid_1941&pid_8021" is examined: an arrival searches for the
// console again and sends WM_STATION_CONNECTION with wParam 4 to
// `mainWindow` when it was found; a completed removal sends wParam 5. Every
// other event changes nothing. DBT_DEVNODES_CHANGED and a device event
// without a record return 0, everything else TRUE.
LRESULT handleDeviceChange(HWND mainWindow, WPARAM wParam, LPARAM lParam);
