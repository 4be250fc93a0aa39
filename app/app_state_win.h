// Window handles and program-wide state of the application shell, read by
// every page. All of it is used on the main thread only.
#pragma once

#include <windows.h>

#include <cstdint>

#include "link/reader_thread_win.h" // statusBar: also the reader's target for history counts

constexpr std::uint32_t PAGE_DASHBOARD = 1;
constexpr std::uint32_t PAGE_SETUP = 2;

extern HINSTANCE appInstance;    // loads every resource
extern HWND mainWindow;
extern HWND headerBar;           // dialog 129
extern HWND dashboardPage;       // dialog 101; the reader's target window
extern HWND setupPage;           // dialog 131, the export & setup page
extern std::uint32_t currentPage; // PAGE_DASHBOARD or PAGE_SETUP
// 0 Weather Underground, 1 Weathercloud; stored with the language ("ls").
extern std::uint32_t selectedService;
extern HDEVNOTIFY notificationHandle;
