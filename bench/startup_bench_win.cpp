// Start-up time and memory of the real program, measured from outside the
// way a user meets them: this harness starts the console simulator, then
// aerovane.exe connected to it, and times how long it takes until the
// dashboard shows a live observation on the screen. It then reads the
// program's memory counters from Windows and closes it with WM_CLOSE.
//
//   startup_bench.exe [--runs=N] [--export=RECORDS] [--program=PATH] [--simulator=PATH]
//
// Paths default to aerovane.exe and aerovane-sim.exe beside this exe. Each
// run starts from no stored "last data read" time, so the stamp control
// still holds its template text until the first live observation has been
// handled; the dashboard counts as painted once that text has changed and
// the page has no region left to paint. Prints one line per run and a
// summary (median, minimum, maximum).
//
// With --export, one more run follows in which the simulator holds RECORDS
// history records and the harness exports them the way a user does: "Whole
// period" ticked, Export pressed, a file name typed into the save dialog. It
// reports how long the download and export took, the file's size, and the
// program's memory counters after it: the peak of a program at work, since
// an export fills the 27 MB history store. Exit code 0 when every run did
// what it should, 1 otherwise.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "resources/resource_ids.h"
#include "settings/settings_layout.h"

namespace {

constexpr DWORD STEP_TIMEOUT_MS = 20000;
// A full 60,000-record download under Wine takes minutes.
constexpr DWORD EXPORT_TIMEOUT_MS = 30 * 60 * 1000;
constexpr int FILE_NAME_COMBO = 0x47C; // cmb13 of the standard save dialog
constexpr int FILE_NAME_EDIT = 0x480;  // edt1, its older layout
constexpr wchar_t TEMPLATE_STAMP[] = L"10 / 18 / 2017, 20:15 AM";

struct Options {
    int runs = 5;
    int exportRecords = 0;
    wchar_t program[MAX_PATH] = L"";
    wchar_t simulator[MAX_PATH] = L"";
};

struct MemoryFigures {
    double peakWorkingSetMb = 0;
    double workingSetMb = 0;
    double peakPrivateMb = 0;
};

struct RunResult {
    bool ok = false;
    double windowMs = 0;  // main window shown and idle
    double paintedMs = 0; // live values on the dashboard, painted
    MemoryFigures memory;
    double exportMs = 0; // Export pressed to the file written
    double exportBytes = 0;
};

double nowMs()
{
    static LARGE_INTEGER frequency{};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void besideThisExe(const wchar_t* name, wchar_t* out)
{
    GetModuleFileNameW(nullptr, out, MAX_PATH);
    wchar_t* slash = std::wcsrchr(out, L'\\');
    if (slash)
        slash[1] = 0;
    else
        out[0] = 0;
    std::wcsncat(out, name, MAX_PATH - std::wcslen(out) - 1);
}

bool parseOptions(int argc, wchar_t** argv, Options& options)
{
    besideThisExe(L"aerovane.exe", options.program);
    besideThisExe(L"aerovane-sim.exe", options.simulator);
    for (int i = 1; i < argc; ++i) {
        const wchar_t* argument = argv[i];
        if (std::wcsncmp(argument, L"--runs=", 7) == 0) {
            options.runs = static_cast<int>(std::wcstol(argument + 7, nullptr, 10));
            if (options.runs < 1 || options.runs > 100)
                return false;
        } else if (std::wcsncmp(argument, L"--export=", 9) == 0) {
            options.exportRecords = static_cast<int>(std::wcstol(argument + 9, nullptr, 10));
            if (options.exportRecords < 1 || options.exportRecords > 65535)
                return false;
        } else if (std::wcsncmp(argument, L"--program=", 10) == 0) {
            std::swprintf(options.program, MAX_PATH, L"%ls", argument + 10);
        } else if (std::wcsncmp(argument, L"--simulator=", 12) == 0) {
            std::swprintf(options.simulator, MAX_PATH, L"%ls", argument + 12);
        } else {
            return false;
        }
    }
    return true;
}

// The simulator logs every exchange to its standard output; a quiet child
// gets the null device there, so only the figures reach ours.
bool startProcess(const wchar_t* exe, const wchar_t* arguments, PROCESS_INFORMATION& process, bool quiet)
{
    wchar_t commandLine[1024];
    std::swprintf(commandLine, 1024, L"\"%ls\" %ls", exe, arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    HANDLE nul = INVALID_HANDLE_VALUE;
    if (quiet) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                          nullptr);
        if (nul != INVALID_HANDLE_VALUE) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = nul;
            startup.hStdOutput = nul;
            startup.hStdError = nul;
        }
    }
    process = PROCESS_INFORMATION{};
    const BOOL started = CreateProcessW(exe, commandLine, nullptr, nullptr, nul != INVALID_HANDLE_VALUE, 0,
                                        nullptr, nullptr, &startup, &process);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    return started != FALSE;
}

void endProcess(PROCESS_INFORMATION& process, DWORD graceMs)
{
    if (!process.hProcess)
        return;
    if (WaitForSingleObject(process.hProcess, graceMs) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION{};
}

// The program starts from the stored "last data read" text when there is
// one; without it the stamp keeps its template text until the first live
// observation, which is what the harness watches for.
void forgetLastReadStamp()
{
    wchar_t path[256];
    if (settingKeyPath(SETTING_DATA, path, 256))
        RegDeleteKeyW(HKEY_CURRENT_USER, path);
}

bool waitForPipe(const wchar_t* pipe, HANDLE simulator)
{
    const double deadline = nowMs() + STEP_TIMEOUT_MS;
    while (nowMs() < deadline) {
        if (WaitNamedPipeW(pipe, 50))
            return true;
        if (WaitForSingleObject(simulator, 0) == WAIT_OBJECT_0)
            return false;
        Sleep(20);
    }
    return false;
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK matchMainWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    if (owner == search->processId && std::wcscmp(className, L"QVRA") == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND findMainWindow(DWORD processId)
{
    WindowSearch search{processId, nullptr};
    EnumWindows(matchMainWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The pages and bars are the main window's child dialogs, each known by a
// control only it holds: the stamp (dashboard), the Export button (export &
// setup page), the logger area (status bar).
HWND findChildDialogWith(HWND mainWindow, int control)
{
    for (HWND child = GetWindow(mainWindow, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgItem(child, control))
            return child;
    }
    return nullptr;
}

bool stampChanged(HWND dashboard)
{
    wchar_t text[64] = L"";
    DWORD_PTR copied = 0;
    // A message to another process's window: bounded, so a hung program
    // fails the run instead of the harness.
    if (!SendMessageTimeoutW(GetDlgItem(dashboard, IDC_LAST_READ_TIME), WM_GETTEXT, 64,
                             reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied))
        return false;
    return copied > 0 && std::wcscmp(text, TEMPLATE_STAMP) != 0;
}

MemoryFigures readMemory(HANDLE process)
{
    MemoryFigures figures;
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(process, &counters, sizeof counters)) {
        figures.peakWorkingSetMb = static_cast<double>(counters.PeakWorkingSetSize) / 1048576.0;
        figures.workingSetMb = static_cast<double>(counters.WorkingSetSize) / 1048576.0;
        figures.peakPrivateMb = static_cast<double>(counters.PeakPagefileUsage) / 1048576.0;
    }
    return figures;
}

struct DialogSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK matchSaveDialog(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<DialogSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[32] = L"";
    GetClassNameW(window, className, 32);
    if (owner == search->processId && std::wcscmp(className, L"#32770") == 0 &&
        (GetDlgItem(window, FILE_NAME_COMBO) || GetDlgItem(window, FILE_NAME_EDIT))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// Types the name into the program's save dialog and confirms it.
bool answerSaveDialog(DWORD processId, const wchar_t* path)
{
    const double deadline = nowMs() + STEP_TIMEOUT_MS;
    while (nowMs() < deadline) {
        DialogSearch search{processId, nullptr};
        EnumWindows(matchSaveDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found) {
            const int field = GetDlgItem(search.found, FILE_NAME_COMBO) ? FILE_NAME_COMBO : FILE_NAME_EDIT;
            SendDlgItemMessageW(search.found, field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
            PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        }
        Sleep(20);
    }
    return false;
}

bool waitForVisibility(HWND window, bool visible, DWORD timeoutMs)
{
    const double deadline = nowMs() + timeoutMs;
    while (nowMs() < deadline) {
        if ((IsWindowVisible(window) != FALSE) == visible)
            return true;
        Sleep(20);
    }
    return false;
}

// The user's way: tick "Whole period", press Export, name the file. The
// status bar's cancel cross shows while the download and the export run and
// hides when the result has been handled.
bool exportHistory(HWND mainWindow, DWORD processId, const wchar_t* path, RunResult& result)
{
    HWND setupPage = findChildDialogWith(mainWindow, IDC_EXPORT);
    HWND statusBar = findChildDialogWith(mainWindow, IDC_LOGGER_AREA);
    if (!setupPage || !statusBar)
        return false;
    HWND cancelCross = GetDlgItem(statusBar, IDC_CANCEL_TRANSFER);
    DeleteFileW(path);
    SendDlgItemMessageW(setupPage, IDC_WHOLE_PERIOD, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(setupPage, WM_COMMAND, MAKEWPARAM(IDC_WHOLE_PERIOD, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(setupPage, IDC_WHOLE_PERIOD)));
    const double start = nowMs();
    // Posted: the save dialog runs inside the page's handler of the press.
    PostMessageW(setupPage, WM_COMMAND, MAKEWPARAM(IDC_EXPORT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(setupPage, IDC_EXPORT)));
    if (!answerSaveDialog(processId, path))
        return false;
    if (!waitForVisibility(cancelCross, true, STEP_TIMEOUT_MS) ||
        !waitForVisibility(cancelCross, false, EXPORT_TIMEOUT_MS))
        return false;
    result.exportMs = nowMs() - start;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &attributes))
        return false;
    result.exportBytes = static_cast<double>(attributes.nFileSizeLow) +
                         static_cast<double>(attributes.nFileSizeHigh) * 4294967296.0;
    return result.exportBytes > 0;
}

// One start of the program; with historyRecords > 0 the simulator holds
// that many records and the run ends with an export of all of them.
RunResult runOnce(const Options& options, int run, int historyRecords)
{
    RunResult result;
    wchar_t pipe[64];
    std::swprintf(pipe, 64, L"\\\\.\\pipe\\aerovane-bench-%lu-%d", GetCurrentProcessId(), run);
    wchar_t simArguments[256];
    std::swprintf(simArguments, 256, L"--pipe=%ls --once --live-interval=2000 --history=%d", pipe,
                  historyRecords);
    wchar_t programArguments[256];
    std::swprintf(programArguments, 256, L"--console=%ls", pipe);

    forgetLastReadStamp();
    PROCESS_INFORMATION simulator;
    if (!startProcess(options.simulator, simArguments, simulator, true)) {
        std::fwprintf(stderr, L"cannot start %ls\n", options.simulator);
        return result;
    }
    PROCESS_INFORMATION program{};
    if (waitForPipe(pipe, simulator.hProcess)) {
        const double start = nowMs();
        if (startProcess(options.program, programArguments, program, false)) {
            HWND mainWindow = nullptr;
            HWND dashboard = nullptr;
            bool painted = false;
            while (nowMs() - start < STEP_TIMEOUT_MS && !painted) {
                if (!mainWindow) {
                    mainWindow = findMainWindow(program.dwProcessId);
                    if (mainWindow) {
                        result.windowMs = nowMs() - start;
                        dashboard = findChildDialogWith(mainWindow, IDC_LAST_READ_TIME);
                    }
                } else if (dashboard && stampChanged(dashboard)) {
                    // The live record has been handled; its values are
                    // painted once the page has no invalid region left.
                    RECT pending;
                    painted = !GetUpdateRect(dashboard, &pending, FALSE);
                }
                if (!painted)
                    Sleep(2);
            }
            if (painted) {
                result.paintedMs = nowMs() - start;
                // A few more observations and repaints before reading the
                // counters, so the figures are those of the program at work.
                Sleep(3000);
                if (historyRecords > 0) {
                    wchar_t path[MAX_PATH + 32];
                    GetTempPathW(MAX_PATH, path);
                    std::wcsncat(path, L"aerovane-bench-export.csv", 32);
                    result.ok = exportHistory(mainWindow, program.dwProcessId, path, result);
                    DeleteFileW(path);
                } else {
                    result.ok = true;
                }
                result.memory = readMemory(program.hProcess);
            }
            if (mainWindow)
                PostMessageW(mainWindow, WM_CLOSE, 0, 0);
        }
    }
    endProcess(program, 10000);
    endProcess(simulator, 5000);
    return result;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

void printSummary(const wchar_t* what, const std::vector<double>& values, const wchar_t* unit)
{
    std::wprintf(L"%-34ls median %8.1f %ls  (min %.1f, max %.1f, %zu runs)\n", what, median(values), unit,
                 *std::min_element(values.begin(), values.end()),
                 *std::max_element(values.begin(), values.end()), values.size());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fwprintf(stderr, L"usage: startup_bench [--runs=N] [--export=RECORDS] [--program=PATH] "
                              L"[--simulator=PATH]\n");
        return 2;
    }
    std::vector<double> window, painted, peakWorkingSet, peakPrivate;
    int failed = 0;
    for (int run = 1; run <= options.runs; ++run) {
        const RunResult result = runOnce(options, run, 0);
        if (!result.ok) {
            std::wprintf(L"run %d: no painted dashboard within %lu ms\n", run, STEP_TIMEOUT_MS);
            ++failed;
            continue;
        }
        std::wprintf(L"run %d: window %.1f ms, painted dashboard %.1f ms, peak working set %.1f MB, "
                     L"working set %.1f MB, peak private %.1f MB\n",
                     run, result.windowMs, result.paintedMs, result.memory.peakWorkingSetMb,
                     result.memory.workingSetMb, result.memory.peakPrivateMb);
        window.push_back(result.windowMs);
        painted.push_back(result.paintedMs);
        peakWorkingSet.push_back(result.memory.peakWorkingSetMb);
        peakPrivate.push_back(result.memory.peakPrivateMb);
    }
    if (!painted.empty()) {
        printSummary(L"start-up to main window", window, L"ms");
        printSummary(L"start-up to painted live dashboard", painted, L"ms");
        printSummary(L"peak working set", peakWorkingSet, L"MB");
        printSummary(L"peak private bytes", peakPrivate, L"MB");
    }
    if (options.exportRecords > 0) {
        const RunResult result = runOnce(options, options.runs + 1, options.exportRecords);
        if (result.ok) {
            std::wprintf(L"export of %d records: %.1f s from Export pressed to file written (%.1f MB file); "
                         L"then peak working set %.1f MB, working set %.1f MB, peak private %.1f MB\n",
                         options.exportRecords, result.exportMs / 1000.0, result.exportBytes / 1048576.0,
                         result.memory.peakWorkingSetMb, result.memory.workingSetMb,
                         result.memory.peakPrivateMb);
        } else {
            std::wprintf(L"export of %d records: did not complete\n", options.exportRecords);
            ++failed;
        }
    }
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}
