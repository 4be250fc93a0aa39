#include "tests/support/test_window_win.h"

#include <cstring>

#include "link/messages.h"
#include "link/report_reader.h"
#include "readings/station_record.h"

namespace {

constexpr wchar_t RECORDER_CLASS[] = L"AerovaneTestRecorder";
constexpr UINT FIRST_PRIVATE_MESSAGE = 32869;
constexpr UINT LAST_PRIVATE_MESSAGE = 32892;

std::string copyText(LPARAM lParam, std::size_t size)
{
    const char* text = reinterpret_cast<const char*>(lParam);
    if (!text)
        return {};
    const void* end = std::memchr(text, 0, size);
    return std::string(text, end ? static_cast<const char*>(end) - text : size);
}

LRESULT CALLBACK recorderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* log = reinterpret_cast<MessageLog*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (log && message >= FIRST_PRIVATE_MESSAGE && message <= LAST_PRIVATE_MESSAGE) {
        RecordedMessage recorded{message, wParam, lParam, {}};
        if (message == WM_LIVE_RECORD)
            recorded.text = copyText(lParam, STATION_RECORD_SIZE);
        else if (message == WM_FRAME_FB || message == WM_FRAME_F1)
            recorded.text = copyText(lParam, UPLOAD_TEXT_SIZE);
        log->messages.push_back(recorded);
        if (log->react)
            log->react(message, wParam, lParam);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool classRegistered()
{
    static const bool registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = recorderProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = RECORDER_CLASS;
        return RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}

void dispatchPending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

DWORD msLeft(ULONGLONG deadline)
{
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

} // namespace

std::size_t MessageLog::countOf(UINT message) const
{
    std::size_t n = 0;
    for (const RecordedMessage& m : messages)
        n += m.message == message;
    return n;
}

std::vector<LPARAM> MessageLog::lParamsOf(UINT message) const
{
    std::vector<LPARAM> values;
    for (const RecordedMessage& m : messages)
        if (m.message == message)
            values.push_back(m.lParam);
    return values;
}

std::vector<std::string> MessageLog::textsOf(UINT message) const
{
    std::vector<std::string> texts;
    for (const RecordedMessage& m : messages)
        if (m.message == message)
            texts.push_back(m.text);
    return texts;
}

HWND createRecorderWindow(MessageLog* log)
{
    if (!classRegistered())
        return nullptr;
    return CreateWindowExW(0, RECORDER_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), log);
}

bool waitPumping(HANDLE handle, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        dispatchPending();
        const DWORD woken =
            MsgWaitForMultipleObjectsEx(1, &handle, msLeft(deadline), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return false;
    }
}

bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        dispatchPending();
        if (done())
            return true;
        const DWORD left = msLeft(deadline);
        if (left == 0)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, left < 20 ? left : 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void pumpFor(DWORD timeoutMs)
{
    pumpUntil([] { return false; }, timeoutMs);
}
