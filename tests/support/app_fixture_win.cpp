#include "tests/support/app_fixture_win.h"

#include <cstdio>
#include <cwchar>

#include "app/app_state_win.h"
#include "app/language_tables.h"
#include "app/main_window_win.h"
#include "app/message_box_win.h"
#include "link/commands.h"
#include "link/console_option.h"
#include "link/link_flags.h"
#include "readings/units.h"
#include "settings/settings_layout.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

// A box that no test asked for would have waited for a click for ever: it
// fails the test and is answered at once. Tests that expect boxes install
// their own recorder.
int WINAPI refuseUnexpectedBox(HWND, LPCWSTR text, LPCWSTR caption, UINT)
{
    ADD_FAILURE() << "unexpected message box \"" << testing::PrintToString(std::wstring(caption ? caption : L""))
                  << "\": " << testing::PrintToString(std::wstring(text ? text : L""));
    return IDOK;
}

std::wstring variable(const wchar_t* name)
{
    wchar_t buffer[1024];
    const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    return length > 0 && length < 1024 ? buffer : L"";
}

void removeTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (found.cFileName[0] == L'.')
                continue;
            const std::wstring path = folder + L"\\" + found.cFileName;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

} // namespace

void AppTest::SetUp()
{
    const std::wstring tag = std::to_wstring(GetCurrentProcessId());
    privateKey = L"Software\\AerovaneTests\\app-" + tag;
    RegDeleteTreeW(HKEY_CURRENT_USER, privateKey.c_str());
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, privateKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &redirect, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, redirect), ERROR_SUCCESS);

    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    tempFolder = std::wstring(temp) + L"aerovane-app-" + tag;
    removeTempFolder();
    ASSERT_TRUE(CreateDirectoryW(tempFolder.c_str(), nullptr));
    savedTmp = variable(L"TMP");
    savedTemp = variable(L"TEMP");
    SetEnvironmentVariableW(L"TMP", (tempFolder + L"\\").c_str());
    SetEnvironmentVariableW(L"TEMP", (tempFolder + L"\\").c_str());

    deviceReady = 0;
    transferCancelled = 0;
    historyActive = 0;
    language = 0;
    selectedService = 0;
    setCurrentUnitSettings(DEFAULT_UNIT_SETTINGS);
    showMessageBox = refuseUnexpectedBox;
    ASSERT_EQ(registerMainWindowClass(GetModuleHandleW(nullptr)), 1);
}

void AppTest::TearDown()
{
    close();
    closeConsoleDouble(console);
    consolePath[0] = L'\0';
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (redirect)
        RegCloseKey(redirect);
    RegDeleteTreeW(HKEY_CURRENT_USER, privateKey.c_str());
    SetEnvironmentVariableW(L"TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
    SetEnvironmentVariableW(L"TEMP", savedTemp.empty() ? nullptr : savedTemp.c_str());
    removeTempFolder();
    showMessageBox = MessageBoxW;
}

void AppTest::removeTempFolder()
{
    if (!tempFolder.empty())
        removeTree(tempFolder);
}

void AppTest::start(bool withConsole, int showCommand)
{
    pipeName = uniquePipeName(withConsole ? L"app" : L"nobody");
    if (withConsole) {
        ASSERT_TRUE(openConsoleDouble(console, pipeName));
    }
    std::wcsncpy(consolePath, pipeName.c_str(), CONSOLE_PATH_SIZE - 1);
    ASSERT_EQ(createMainWindow(GetModuleHandleW(nullptr), showCommand), 1);
    ASSERT_NE(mainWindow, nullptr);
    if (!withConsole)
        return;
    ASSERT_TRUE(awaitProgram(console, WAIT_MS));
    CommandReport command{};
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(command, CMD_STOP);
    ASSERT_TRUE(receiveCommand(console, command, WAIT_MS));
    EXPECT_EQ(command, CMD_READ_CURRENT);
}

int AppTest::close()
{
    if (!mainWindow)
        return -1;
    DestroyWindow(mainWindow);
    MSG quit;
    if (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        return static_cast<int>(quit.wParam);
    return -1;
}

bool AppTest::readRaw(const wchar_t* name, Bytes* bytes)
{
    const std::wstring path = std::wstring(SETTINGS_KEY_ROOT) + L"\\" + name;
    HKEY key = nullptr;
    if (RegOpenKeyExW(redirect, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    bytes->assign(1024, 0);
    DWORD size = 1024;
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, name, nullptr, &type, bytes->data(), &size);
    RegCloseKey(key);
    bytes->resize(size);
    return result == ERROR_SUCCESS && type == REG_BINARY;
}

void AppTest::writeRaw(const wchar_t* name, const Bytes& bytes)
{
    const std::wstring path = std::wstring(SETTINGS_KEY_ROOT) + L"\\" + name;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(redirect, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

Bytes AppTest::textValue(const wchar_t* text, std::size_t size)
{
    Bytes bytes(size, 0);
    for (std::size_t i = 0; text[i] != L'\0' && 2 * i + 1 < size; ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>((text[i] >> 8) & 0xFF);
    }
    return bytes;
}

bool AppTest::shown(HWND window)
{
    return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
}

std::wstring AppTest::textOf(HWND dialog, int id)
{
    wchar_t text[512] = L"";
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

void AppTest::choose(HWND dialog, int id, int index, WORD notification)
{
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void AppTest::click(HWND dialog, int id, WORD notification)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
