// Dialog 131 from the program's resources standing in for the export &
// setup page: its edits 1207 and 1208 hold credentials as on the real page,
// and the upload results the worker sends it are recorded in order.
#pragma once

#include <windows.h>

#include <vector>

#include "app/app_state_win.h"
#include "link/messages.h"
#include "resources/resource_ids.h"
#include "tests/support/test_window_win.h"

namespace page_double {

inline INT_PTR CALLBACK recordingPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(page, DWLP_USER, lParam);
        return TRUE;
    }
    if (message == WM_UPLOAD_SUCCESS || message == WM_UPLOAD_OK) {
        auto* results = reinterpret_cast<std::vector<UINT>*>(GetWindowLongPtrW(page, DWLP_USER));
        if (results)
            results->push_back(message);
        return TRUE;
    }
    return FALSE;
}

// Creates the page hidden under a hidden parent and makes it setupPage.
struct Page {
    HWND parent = nullptr;
    HWND page = nullptr;
    std::vector<UINT> results;

    bool create()
    {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        parent = CreateWindowExW(0, L"Static", L"", WS_OVERLAPPEDWINDOW, 0, 0, 900, 600, nullptr, nullptr, module,
                                 nullptr);
        page = CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_SETUP_PAGE), parent, recordingPageProc,
                                  reinterpret_cast<LPARAM>(&results));
        setupPage = page;
        return parent && page;
    }

    void destroy()
    {
        setupPage = nullptr;
        // Results still on their way are dropped with the window.
        pumpFor(0);
        if (page)
            DestroyWindow(page);
        if (parent)
            DestroyWindow(parent);
        page = parent = nullptr;
    }

    // Pumps until `count` results arrived (the worker waits in SendMessageW).
    bool waitForResults(std::size_t count, DWORD timeoutMs = GENEROUS_WAIT_MS)
    {
        return pumpUntil([&] { return results.size() >= count; }, timeoutMs);
    }
};

} // namespace page_double
