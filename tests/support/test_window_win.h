// Hidden message-only windows that record the program's private messages,
// and waits that keep delivering messages sent to them from other threads
// (the reader uses SendMessageW, which blocks until this thread pumps).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// The deadline for what must happen: far more than a loaded machine needs,
// so only a fault waits it out. Never a measure of speed.
constexpr DWORD GENEROUS_WAIT_MS = 60000;

struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string text; // WM_LIVE_RECORD, WM_FRAME_FB, WM_FRAME_F1: copied during the call
};

struct MessageLog {
    std::vector<RecordedMessage> messages;
    // Called after a message was recorded, on the window's thread, while
    // the sender waits: the place to act like the real receiver.
    std::function<void(UINT message, WPARAM wParam, LPARAM lParam)> react;

    std::size_t countOf(UINT message) const;
    std::vector<LPARAM> lParamsOf(UINT message) const;
    std::vector<std::string> textsOf(UINT message) const;
};

// A message-only window recording every private message (32869 and up)
// into `log`, which must outlive it.
HWND createRecorderWindow(MessageLog* log);

// Dispatches this thread's messages until `done` holds or timeoutMs passed.
// Returns whether `done` held.
bool pumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Waits for `handle` up to timeoutMs while dispatching this thread's
// messages. Returns true when it was signalled.
bool waitPumping(HANDLE handle, DWORD timeoutMs);

// Dispatches messages for timeoutMs.
void pumpFor(DWORD timeoutMs);
