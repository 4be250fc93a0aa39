// aerovane.exe itself, started as its own process: one instance at a time,
// and the program connected to the console simulator as the run command
// starts it. Both exes are built beside this test. Each child gets a
// private temporary directory and is ended by the test if it outlives it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/support/test_window_win.h"

namespace {

constexpr DWORD WAIT_MS = GENEROUS_WAIT_MS;

std::wstring besideThisExe(const wchar_t* name)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L'\\') + 1) + name;
}

struct Child {
    PROCESS_INFORMATION info{};

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (!info.hProcess)
            return;
        if (WaitForSingleObject(info.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(info.hProcess, 9);
            WaitForSingleObject(info.hProcess, WAIT_MS);
        }
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }

    bool start(const std::wstring& exe, const std::wstring& arguments)
    {
        std::wstring command = L"\"" + besideThisExe(exe.c_str()) + L"\" " + arguments;
        // Printouts go nowhere.
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        const HANDLE nowhere = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           &inheritable, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWNOACTIVATE;
        startup.hStdOutput = nowhere;
        startup.hStdError = nowhere;
        const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &info);
        if (nowhere != INVALID_HANDLE_VALUE)
            CloseHandle(nowhere);
        return started != 0;
    }

    // The exit code, or STILL_ACTIVE when it did not end in time.
    DWORD exitCode(DWORD timeoutMs)
    {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
            GetExitCodeProcess(info.hProcess, &code);
        return code;
    }
};

struct WindowSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collectWindow(HWND window, LPARAM lParam)
{
    auto* search = reinterpret_cast<WindowSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && (!search->visibleOnly || IsWindowVisible(window)))
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> windowsOf(DWORD processId, bool visibleOnly)
{
    WindowSearch search{processId, visibleOnly, {}};
    EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program's main window: class "QVRA", title "AEROVANE".
HWND mainWindowOf(const Child& child, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    do {
        for (HWND window : windowsOf(child.info.dwProcessId, false)) {
            wchar_t name[64] = L"";
            GetClassNameW(window, name, 64);
            if (std::wstring(name) == L"QVRA")
                return window;
        }
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

// A control's text in another process's dialog.
std::wstring remoteText(HWND control)
{
    wchar_t text[256] = L"";
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        &ignored);
    return text;
}

// Control `id` of one of the child dialogs of `window`, waiting for the
// window to have made its children.
HWND controlIn(HWND window, int id)
{
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    do {
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            if (HWND control = GetDlgItem(child, id))
                return control;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

bool waitForText(HWND control, const std::wstring& expected, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (remoteText(control) != expected) {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(50);
    }
    return true;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"aerovane-program-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        wchar_t saved[1024];
        const DWORD length = GetEnvironmentVariableW(L"TMP", saved, 1024);
        savedTmp = length > 0 && length < 1024 ? saved : L"";
        // The children inherit it: their language files land here.
        SetEnvironmentVariableW(L"TMP", (folder + L"\\").c_str());
        pipe = L"\\\\.\\pipe\\aerovane-program-test-" + std::to_wstring(GetCurrentProcessId());
    }

    void TearDown() override
    {
        SetEnvironmentVariableW(L"TMP", savedTmp.empty() ? nullptr : savedTmp.c_str());
        for (const wchar_t* name : {L"english1.ini", L"germany1.ini", L"france1.ini", L"italy1.ini", L"spanish1.ini"})
            DeleteFileW((folder + L"\\" + name).c_str());
        RemoveDirectoryW(folder.c_str());
    }

    // Closes the program as the user does and expects exit code 0.
    static void closeProgram(Child& program, HWND window)
    {
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.exitCode(WAIT_MS), 0u);
    }

    std::wstring folder;
    std::wstring savedTmp;
    std::wstring pipe;
};

TEST_F(ProgramTest, ASecondInstanceExitsWithZeroAndShowsNothing)
{
    Child first;
    // No console serves this pipe: the program shows "No connection".
    ASSERT_TRUE(first.start(L"aerovane.exe", L"--console=" + pipe + L"-none"));
    const HWND window = mainWindowOf(first, WAIT_MS);
    ASSERT_NE(window, nullptr) << "the first instance shows no window";

    Child second;
    ASSERT_TRUE(second.start(L"aerovane.exe", L"--console=" + pipe + L"-none"));
    std::vector<HWND> shownBySecond;
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    while (WaitForSingleObject(second.info.hProcess, 10) == WAIT_TIMEOUT && GetTickCount64() < deadline)
        for (HWND shown : windowsOf(second.info.dwProcessId, true))
            shownBySecond.push_back(shown);
    EXPECT_EQ(second.exitCode(0), 0u);
    EXPECT_TRUE(shownBySecond.empty());

    // The first one runs on, alone.
    EXPECT_EQ(first.exitCode(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(window));
    closeProgram(first, window);

    // Once it has ended, the program starts again.
    Child again;
    ASSERT_TRUE(again.start(L"aerovane.exe", L"--console=" + pipe + L"-none"));
    const HWND another = mainWindowOf(again, WAIT_MS);
    ASSERT_NE(another, nullptr);
    closeProgram(again, another);
}

TEST_F(ProgramTest, ConnectedToTheSimulatorItShowsUsbConnectedAndStampsTheLastRead)
{
    Child simulator;
    ASSERT_TRUE(simulator.start(L"aerovane-sim.exe",
                                L"--pipe=" + pipe + L" --once --live-interval=500 --upload-interval=0"));
    // The program looks for its console once at start: the pipe must exist.
    const ULONGLONG listening = GetTickCount64() + WAIT_MS;
    while (!WaitNamedPipeW(pipe.c_str(), 100) && GetTickCount64() < listening)
        Sleep(50);
    Child program;
    ASSERT_TRUE(program.start(L"aerovane.exe", L"--console=" + pipe));
    const HWND window = mainWindowOf(program, WAIT_MS);
    ASSERT_NE(window, nullptr);

    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"AEROVANE");
    const HWND connection = controlIn(window, IDC_CONNECTION_TEXT);
    ASSERT_NE(connection, nullptr);
    EXPECT_TRUE(waitForText(connection, L"USB connected", WAIT_MS)) << "shows " << testing::PrintToString(remoteText(connection));
    // A live observation was received and stamped.
    const HWND lastRead = controlIn(window, IDC_LAST_READ_TIME);
    ASSERT_NE(lastRead, nullptr);
    const ULONGLONG deadline = GetTickCount64() + WAIT_MS;
    while (remoteText(lastRead) == L"10 / 18 / 2017, 20:15 AM" && GetTickCount64() < deadline)
        Sleep(50);
    EXPECT_NE(remoteText(lastRead), L"10 / 18 / 2017, 20:15 AM");
    EXPECT_EQ(remoteText(controlIn(window, IDC_TITLE_INDOOR)), L"INDOOR");

    closeProgram(program, window);
    // --once: the simulator ends when the program has let go of the pipe.
    EXPECT_NE(simulator.exitCode(WAIT_MS), static_cast<DWORD>(STILL_ACTIVE));
}

} // namespace
