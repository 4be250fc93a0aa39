// Every modal message box of the program goes through this pointer, so tests
// can answer boxes instead of hanging on a modal window. MessageBoxW unless
// replaced.
#pragma once

#include <windows.h>

extern int(WINAPI* showMessageBox)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
