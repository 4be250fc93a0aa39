// The export & setup page in the real main window, with every modal window
// answered: the export job's boxes and save dialog through their seams, and
// any other message box (which the page must never show) closed by a hook
// and reported as a failure, so a wrong box fails the test instead of
// hanging it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/app_state_win.h"
#include "app/message_box_win.h"
#include "dashboard/dashboard_page_win.h"
#include "export/export_job_win.h"
#include "link/link_flags.h"
#include "settings/setup_page_win.h"
#include "tests/support/app_fixture_win.h"
#include "upload/upload_state.h"

namespace setup_page_test {

struct Box {
    HWND owner;
    std::wstring text;
    std::wstring caption;
};

inline std::vector<Box> boxes;
inline std::vector<std::wstring> strayDialogs;
inline int saveDialogCalls = 0;
inline std::wstring saveDialogName;

inline int WINAPI recordBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT)
{
    boxes.push_back({owner, text ? text : L"", caption ? caption : L""});
    return IDOK;
}

// The user picks saveDialogName, or cancels when it is empty.
inline BOOL WINAPI answerSaveDialog(LPOPENFILENAMEW dialog)
{
    ++saveDialogCalls;
    if (saveDialogName.empty() || saveDialogName.size() >= dialog->nMaxFile)
        return FALSE;
    saveDialogName.copy(dialog->lpstrFile, saveDialogName.size());
    dialog->lpstrFile[saveDialogName.size()] = L'\0';
    return TRUE;
}

// A top-level dialog being activated is a message box nobody asked for.
inline LRESULT CALLBACK closeStrayDialogs(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        const HWND window = reinterpret_cast<HWND>(wParam);
        wchar_t className[32] = L"";
        GetClassNameW(window, className, 32);
        if (std::wstring(className) == L"#32770") {
            wchar_t title[128] = L"";
            GetWindowTextW(window, title, 128);
            strayDialogs.push_back(title);
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

class SetupPageTest : public AppTest {
protected:
    void SetUp() override
    {
        AppTest::SetUp();
        boxes.clear();
        strayDialogs.clear();
        saveDialogCalls = 0;
        saveDialogName.clear();
        showMessageBox = recordBox;
        exportSaveDialog = answerSaveDialog;
        for (UploadState& state : uploadStates)
            state = UploadState{};
        hook = SetWindowsHookExW(WH_CBT, closeStrayDialogs, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
    }

    void TearDown() override
    {
        for (const Box& box : boxes)
            ADD_FAILURE() << "unexpected message box: " << testing::PrintToString(box.text);
        for (const std::wstring& title : strayDialogs)
            ADD_FAILURE() << "a dialog was shown: " << testing::PrintToString(title);
        AppTest::TearDown();
        if (hook)
            UnhookWindowsHookEx(hook);
        exportSaveDialog = GetSaveFileNameW;
        for (UploadState& state : uploadStates)
            state = UploadState{};
    }

    static HWND control(int id) { return GetDlgItem(setupPage, id); }
    static bool checked(int id) { return IsDlgButtonChecked(setupPage, id) == BST_CHECKED; }
    static bool enabled(int id) { return IsWindowEnabled(control(id)) != FALSE; }
    // The user clicks a check box: it toggles, then the page hears of it.
    static void toggle(int id)
    {
        CheckDlgButton(setupPage, id, checked(id) ? BST_UNCHECKED : BST_CHECKED);
        click(setupPage, id);
    }
    static void type(int id, const wchar_t* text) { SetDlgItemTextW(setupPage, id, text); }
    static int selection(int id) { return static_cast<int>(SendDlgItemMessageW(setupPage, id, CB_GETCURSEL, 0, 0)); }
    // Whether the page has this timer running. Finding out stops it.
    static bool stopTimer(UINT_PTR id) { return KillTimer(setupPage, id) != FALSE; }

    HHOOK hook = nullptr;
};

} // namespace setup_page_test
