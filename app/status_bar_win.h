// The status bar (dialog 130): the console's logger fill level, the
// connection text and dot, and during a history download the progress text
// with its cancel control.
#pragma once

#include <windows.h>

INT_PTR CALLBACK statusBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the bar draws: the logger text ("Logger --%" until the first
// observation) and the progress text (empty when no download runs).
const wchar_t* statusLoggerText();
const wchar_t* statusProgressText();

// The connection text (l55 while deviceReady is 1, else l56) and the
// logger label, in the current language.
void relabelStatusBar(HWND dialog);

// Sets the connection dot: icon 146 (connected) or 168 (no connection).
void showConnectionDot(HWND dialog, bool connected);
