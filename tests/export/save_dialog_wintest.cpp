// The real save dialog, driven as a user would: a name typed without an
// extension gets the default ".csv"; a ".txt" name comes back and is
// refused. A helper thread types into the dialog and confirms it.
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_job.h"
#include "app/message_box_win.h"
#include "export/export_job_win.h"

namespace {

constexpr DWORD WAIT_MS = 10000;
constexpr int FILE_NAME_COMBO = 0x47C; // cmb13 of the standard dialog
constexpr int FILE_NAME_EDIT = 0x480;  // edt1, the older layout

std::vector<std::wstring> shownTexts;
int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    shownTexts.push_back(text ? text : L"");
    return IDOK;
}

struct Typist {
    HWND owner;
    std::wstring name;
    std::atomic<bool> typed{false};
};

BOOL CALLBACK findOwnedDialog(HWND window, LPARAM context)
{
    auto* found = reinterpret_cast<std::pair<HWND, HWND>*>(context);
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    if (std::wstring(className) == L"#32770" && GetWindow(window, GW_OWNER) == found->first) {
        found->second = window;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI typeName(void* parameter)
{
    auto* typist = static_cast<Typist*>(parameter);
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    HWND dialog = nullptr;
    while (GetTickCount64() < deadline) {
        std::pair<HWND, HWND> search{typist->owner, nullptr};
        EnumThreadWindows(GetWindowThreadProcessId(typist->owner, nullptr), findOwnedDialog,
                          reinterpret_cast<LPARAM>(&search));
        dialog = search.second;
        if (dialog && (GetDlgItem(dialog, FILE_NAME_COMBO) || GetDlgItem(dialog, FILE_NAME_EDIT))) {
            const int field = GetDlgItem(dialog, FILE_NAME_COMBO) ? FILE_NAME_COMBO : FILE_NAME_EDIT;
            SetDlgItemTextW(dialog, field, typist->name.c_str());
            typist->typed = true;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return 0;
        }
        Sleep(20);
    }
    // A dialog we cannot type into is cancelled, so the test fails instead
    // of waiting on it for ever.
    if (dialog)
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 1;
}

class SaveDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        shownTexts.clear();
        showMessageBox = recordBox;
        exportPath[0] = L'\0';
        owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner);
        wchar_t directory[MAX_PATH];
        GetTempPathW(MAX_PATH, directory);
        folder = directory;
    }
    void TearDown() override
    {
        showMessageBox = MessageBoxW;
        DestroyWindow(owner);
    }

    // Runs the dialog with `name` typed into it; the dialog's result.
    int chooseTyping(const std::wstring& name)
    {
        Typist typist;
        typist.owner = owner;
        typist.name = name;
        const HANDLE thread = CreateThread(nullptr, 0, typeName, &typist, 0, nullptr);
        const int chosen = chooseExportFile(owner);
        WaitForSingleObject(thread, WAIT_MS);
        CloseHandle(thread);
        EXPECT_TRUE(typist.typed) << "the dialog never appeared";
        return chosen;
    }

    HWND owner = nullptr;
    std::wstring folder;
};

TEST_F(SaveDialog, TypedNameGetsTheCsvExtension)
{
    ASSERT_EQ(1, chooseTyping(folder + L"aerovane-typed"));
    EXPECT_EQ(folder + L"aerovane-typed.csv", exportPath);
    EXPECT_TRUE(shownTexts.empty());
}

TEST_F(SaveDialog, TextFileNameIsRefused)
{
    EXPECT_EQ(0, chooseTyping(folder + L"aerovane-typed.txt"));
    ASSERT_EQ(1u, shownTexts.size());
    EXPECT_EQ(L"File name error!", shownTexts[0]);
    EXPECT_EQ(L'\0', exportPath[0]);
}

} // namespace
