#include "app/application_win.h"

#include <commctrl.h>

#include "app/main_window_win.h"
#include "link/console_option.h"
#include "upload/upload_worker_win.h"

namespace {

// Kept open until the process ends: while it exists, a second copy sees
// the name taken.
HANDLE instanceSemaphore = nullptr;

bool anotherInstanceRuns()
{
    instanceSemaphore = CreateSemaphoreW(nullptr, 0, 1, INSTANCE_SEMAPHORE_NAME);
    if (instanceSemaphore && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(instanceSemaphore);
        instanceSemaphore = nullptr;
        return true;
    }
    return false;
}

// No accelerators and no dialog-message filtering: the pages take the
// mouse only.
int runMessageLoop()
{
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

int runApplication(HINSTANCE instance, int showCommand, const wchar_t* commandLine)
{
    if (anotherInstanceRuns())
        return 0;
    InitCommonControls();
    parseConsoleOption(commandLine);
    parseUploadHostOptions(commandLine);
    if (!registerMainWindowClass(instance))
        return 0;
    if (!createMainWindow(instance, showCommand))
        return 0;
    startUploadWorker();
    return runMessageLoop();
}
