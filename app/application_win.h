// The program from start to end: single-instance check, window class, main
// window, message loop.
#pragma once

#include <windows.h>

// The single-instance guard: a named semaphore held for the life of the
// process.
constexpr const wchar_t* INSTANCE_SEMAPHORE_NAME = L"NQX-B";

// Runs the program; returns its exit code: 0 at once (silently) when
// another instance runs or the window cannot be made, else the wParam of
// the final WM_QUIT. `commandLine` may carry --console=PATH, the console
// to open instead of searching the HID devices.
int runApplication(HINSTANCE instance, int showCommand, const wchar_t* commandLine);
