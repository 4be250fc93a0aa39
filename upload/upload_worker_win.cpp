#include "upload/upload_worker_win.h"

#include <shellapi.h>

#include <cstdlib>
#include <cstring>

#include "app/app_state_win.h"
#include "link/messages.h"
#include "upload/http_transport.h"
#include "upload/upload_hosts.h"
#include "upload/upload_requests.h"

DWORD uploadWorkerThreadId = 0;

namespace {

// The worker's own copies: the sender's block is freed as soon as it is
// copied, and the host may be changed by the main thread at any time.
char requestBuffer[REQUEST_BUFFER_SIZE];
char hostBuffer[UPLOAD_HOST_SIZE];

// Blocks the worker until the page has counted the success.
void reportToPage(void*, UploadService service)
{
    const HWND page = setupPage;
    if (page)
        SendMessageW(page, service == SERVICE_WEATHER_UNDERGROUND ? WM_UPLOAD_SUCCESS : WM_UPLOAD_OK, 0, 0);
}

// Copies what fits the buffer whole, with its zero; false for anything
// longer (the buffer is left empty).
bool copyWhole(char* buffer, std::size_t size, const char* text)
{
    std::memset(buffer, 0, size);
    const void* zero = std::memchr(text, 0, size);
    if (!zero)
        return false;
    std::memcpy(buffer, text, static_cast<const char*>(zero) - text);
    return true;
}

void deliver(UploadService service, WPARAM wParam)
{
    char* block = reinterpret_cast<char*>(wParam);
    if (!block)
        return;
    const bool fits = copyWhole(requestBuffer, sizeof requestBuffer, block);
    std::free(block);
    if (!fits)
        return;
    const UploadHost& host = uploadHosts[service];
    if (!copyWhole(hostBuffer, sizeof hostBuffer, host.name))
        return;
    TransportHooks hooks = defaultTransportHooks();
    hooks.reportSuccess = reportToPage;
    uploadRequest(requestBuffer, hostBuffer, host.port, service, hooks);
}

DWORD WINAPI uploadWorkerMain(LPVOID parameter)
{
    MSG message;
    // The queue exists from here on; only then may the starter go on.
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    SetEvent(static_cast<HANDLE>(parameter));
    for (;;) {
        // WM_QUIT (0) and errors (-1) are ignored like any other message:
        // the worker lives as long as the process.
        if (GetMessageW(&message, nullptr, 0, 0) <= 0)
            continue;
        if (message.message == WM_UPLOAD_WU)
            deliver(SERVICE_WEATHER_UNDERGROUND, message.wParam);
        else if (message.message == WM_UPLOAD_WC)
            deliver(SERVICE_WEATHERCLOUD, message.wParam);
    }
}

} // namespace

int startUploadWorker()
{
    if (uploadWorkerThreadId != 0)
        return 1;
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready)
        return 0;
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, uploadWorkerMain, ready, 0, &threadId);
    if (!thread) {
        CloseHandle(ready);
        return 0;
    }
    CloseHandle(thread);
    // The thread's first two calls; it uses the event only before setting it.
    WaitForSingleObject(ready, INFINITE);
    CloseHandle(ready);
    uploadWorkerThreadId = threadId;
    return 1;
}

int parseUploadHostOptions(const wchar_t* commandLine)
{
    if (!commandLine || !*commandLine)
        return 0;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(commandLine, &count);
    if (!arguments)
        return 0;
    int applied = 0;
    for (int i = 1; i < count; ++i)
        applied += applyUploadHostArgument(arguments[i], uploadHosts) == 1;
    LocalFree(arguments);
    return applied;
}
