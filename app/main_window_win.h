// The main window: one fixed-size top-level window holding the header bar,
// the two pages and the status bar; it follows the console coming and
// going and saves the language, service and credentials when it closes.
#pragma once

#include <windows.h>

// The window's client area holds header bar, page and status bar at their
// templates' sizes (with Arial 11 that is more than 900 x 600 pixels), and
// the window is never smaller than this.
constexpr int MAIN_WINDOW_MIN_WIDTH = 900;
constexpr int MAIN_WINDOW_MIN_HEIGHT = 600;
constexpr DWORD MAIN_WINDOW_STYLE = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

constexpr WPARAM STATION_PRESENT = 4;
constexpr WPARAM STATION_ABSENT = 5;

// The class name and window title from the string table (109, 103).
extern wchar_t windowClassName[100];
extern wchar_t windowTitle[100];

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Loads the two strings and registers the class (icon 107, arrow cursor).
// Returns 1, also when the class already exists in this process.
int registerMainWindowClass(HINSTANCE instance);

// Start-up after the class exists: the "ls" setting, the language tables,
// the window with its children, sized to its templates and shown, then the
// console search and the first WM_STATION_CONNECTION. Returns 1, or 0 when
// the window could not be created.
int createMainWindow(HINSTANCE instance, int showCommand);

// The outer window size, in pixels, whose client area is `client`, never
// below the minimum.
SIZE mainWindowSizeFor(SIZE client);
