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

// The first dialog of a fresh Wine prefix can take tens of seconds to come
// up on a loaded machine (the shell's first use, the drive scan).
constexpr DWORD WAIT_MS = 90000;
constexpr DWORD CONFIRM_MS = 3000;
constexpr int FILE_NAME_COMBO = 0x47C; // cmb13 of the standard dialog
constexpr int FILE_NAME_EDIT = 0x480;  // edt1, the older layout

std::vector<std::wstring> shownTexts;
int WINAPI recordBox(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    shownTexts.push_back(text ? text : L"");
    return IDOK;
}

// What the real dialog handed back, for the failure message.
struct DialogOutcome {
    BOOL result = FALSE;
    DWORD error = 0;
    std::wstring name;
};
DialogOutcome lastOutcome;

BOOL WINAPI recordedSaveDialog(LPOPENFILENAMEW dialog)
{
    lastOutcome.result = GetSaveFileNameW(dialog);
    lastOutcome.error = CommDlgExtendedError();
    lastOutcome.name = dialog->lpstrFile ? dialog->lpstrFile : L"";
    return lastOutcome.result;
}

std::string narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
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

HWND findDialog(HWND owner)
{
    std::pair<HWND, HWND> search{owner, nullptr};
    EnumThreadWindows(GetWindowThreadProcessId(owner, nullptr), findOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// The dialog is shown only once its initialisation is over; text typed
// before then is overwritten by the dialog itself.
HWND readyFileNameField(HWND dialog)
{
    if (!dialog || !IsWindowVisible(dialog))
        return nullptr;
    HWND field = GetDlgItem(dialog, FILE_NAME_COMBO);
    if (!field)
        field = GetDlgItem(dialog, FILE_NAME_EDIT);
    return field && IsWindowEnabled(field) ? field : nullptr;
}

DWORD WINAPI typeName(void* parameter)
{
    auto* typist = static_cast<Typist*>(parameter);
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    HWND dialog = nullptr;
    while (GetTickCount64() < deadline) {
        dialog = findDialog(typist->owner);
        const HWND field = readyFileNameField(dialog);
        if (!field) {
            Sleep(50);
            continue;
        }
        wchar_t shown[MAX_PATH] = L"";
        SetWindowTextW(field, typist->name.c_str());
        GetWindowTextW(field, shown, MAX_PATH);
        if (typist->name != shown) {
            Sleep(50);
            continue;
        }
        typist->typed = true;
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // Done once the dialog has gone; if it is still there, the click
        // came too early and is made again.
        const ULONGLONG confirmBy = GetTickCount64() + CONFIRM_MS;
        while (IsWindow(dialog) && GetTickCount64() < confirmBy)
            Sleep(50);
        if (!IsWindow(dialog))
            return 0;
    }
    // A dialog we cannot type into is cancelled, so the test fails instead
    // of waiting on it for ever.
    if (dialog && IsWindow(dialog))
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    return 1;
}

class SaveDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        shownTexts.clear();
        lastOutcome = DialogOutcome{};
        showMessageBox = recordBox;
        exportSaveDialog = recordedSaveDialog;
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
        exportSaveDialog = GetSaveFileNameW;
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
        EXPECT_TRUE(typist.typed) << "the dialog never became ready";
        return chosen;
    }

    HWND owner = nullptr;
    std::wstring folder;
};

TEST_F(SaveDialog, TypedNameGetsTheCsvExtension)
{
    ASSERT_EQ(1, chooseTyping(folder + L"aerovane-typed"))
        << "dialog result " << lastOutcome.result << ", error " << lastOutcome.error << ", name \""
        << narrow(lastOutcome.name) << "\", " << shownTexts.size() << " message(s)";
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
