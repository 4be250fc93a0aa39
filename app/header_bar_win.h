// The header bar (dialog 129): the two page tabs, the language list and the
// help button. Its initialisation creates the drawing objects all dialogs
// share (shared_drawing_win.h); its destruction deletes them.
#pragma once

#include <windows.h>

// The program's help document, expected beside the program file.
constexpr const wchar_t* HELP_FILE_NAME = L"Aerovane_help.pdf";

INT_PTR CALLBACK headerBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The help document's full path: the program's own folder and
// HELP_FILE_NAME. Returns 1, or 0 when the path does not fit `capacity`.
int helpFilePath(wchar_t* path, DWORD capacity);
