#include "app/app_state_win.h"

HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;
HWND headerBar = nullptr;
HWND dashboardPage = nullptr;
HWND setupPage = nullptr;
std::uint32_t currentPage = PAGE_DASHBOARD;
std::uint32_t selectedService = 0;
HDEVNOTIFY notificationHandle = nullptr;
