// What the reader thread costs while it has nothing to read, and how soon
// it ends once readerStop is set, measured in this process under Wine (not
// a test: nothing here passes or fails on a figure).
//
//   reader_idle_bench.exe [--seconds=N] [--stops=N]
//
// Two consoles on a message-mode pipe served by this harness: one that
// stays silent (the reader blocks in its read) and one that has vanished
// (every read fails at once, so the reader must pause between them rather
// than spin). For each: the process's CPU time per second of wall time
// while the reader waits, over N seconds (default 3), and the time from
// readerStop = 1 - the flag alone, as the removal path sets it - until the
// reader has ended, over N stops (default 10): median and maximum. Wine
// counts CPU time in steps of 10 ms, so a figure below that is noise.
// Exit code 0 when every reader ended, 1 otherwise.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/reader_thread_win.h"
#include "link/station_device_win.h"

namespace {

// Far beyond what a reader should need; only a reader that never ends
// reaches it.
constexpr DWORD END_LIMIT_MS = 60000;

double nowMs()
{
    static LARGE_INTEGER frequency{};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

double processCpuMs()
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ticks = [](const FILETIME& t) {
        return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0; // 100 ns units
}

enum class Console { Silent, Vanished };

// A console that has taken the program's connection and then either says
// nothing or goes away. Returns the server end (closed already when the
// console vanished) or INVALID_HANDLE_VALUE.
HANDLE connectConsole(Console kind)
{
    static unsigned serial = 0;
    wchar_t name[128];
    std::swprintf(name, 128, L"\\\\.\\pipe\\aerovane-reader-bench-%lu-%u", GetCurrentProcessId(), ++serial);
    const HANDLE pipe = CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE,
                                         1, 65 * 64, 4096, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return INVALID_HANDLE_VALUE;
    std::wcsncpy(consolePath, name, CONSOLE_PATH_SIZE - 1);
    if (!stationDevice->openStation()) {
        CloseHandle(pipe);
        return INVALID_HANDLE_VALUE;
    }
    deviceReady = 1;
    if (kind == Console::Vanished) {
        CloseHandle(pipe);
        return INVALID_HANDLE_VALUE;
    }
    return pipe;
}

struct Figures {
    double cpuPerSecondMs = 0;
    std::vector<double> stopMs;
    bool allEnded = true;
};

// The reader runs `seconds` on the console, then is stopped `stops` times
// (started again on the same console between stops).
Figures measure(Console kind, int seconds, int stops)
{
    Figures figures;
    const HANDLE server = connectConsole(kind);
    if (kind == Console::Silent && server == INVALID_HANDLE_VALUE) {
        figures.allEnded = false;
        return figures;
    }
    for (int run = 0; run < std::max(stops, 1); ++run) {
        if (startReader(nullptr) != 1) {
            figures.allEnded = false;
            break;
        }
        Sleep(200); // into its read, or its first failed reads
        if (run == 0) {
            const double cpuBefore = processCpuMs();
            const double wallBefore = nowMs();
            Sleep(static_cast<DWORD>(seconds) * 1000);
            figures.cpuPerSecondMs = (processCpuMs() - cpuBefore) * 1000.0 / (nowMs() - wallBefore);
        }
        // The reader looks at readerStop once per READER_IDLE_MS from its
        // start; stops at whole multiples of that after the start would all
        // land just after a look, so each stop comes at another point.
        Sleep(static_cast<DWORD>(run * 37 % READER_IDLE_MS));
        const double stopAt = nowMs();
        readerStop = 1;
        if (!awaitReader(END_LIMIT_MS)) {
            figures.allEnded = false;
            break;
        }
        figures.stopMs.push_back(nowMs() - stopAt);
    }
    deviceReady = 0;
    if (server != INVALID_HANDLE_VALUE)
        CloseHandle(server);
    return figures;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void print(const char* label, const Figures& figures)
{
    const double longest = figures.stopMs.empty() ? 0 : *std::max_element(figures.stopMs.begin(), figures.stopMs.end());
    std::printf("  %-34s %8.2f ms CPU per second   stop: median %6.1f ms, max %6.1f ms (%zu stops)%s\n", label,
                figures.cpuPerSecondMs, median(figures.stopMs), longest, figures.stopMs.size(),
                figures.allEnded ? "" : "   A READER DID NOT END");
}

int intOption(const wchar_t* argument, const wchar_t* prefix, int fallback)
{
    const std::size_t n = std::wcslen(prefix);
    if (std::wcsncmp(argument, prefix, n) != 0)
        return fallback;
    const int value = _wtoi(argument + n);
    return value > 0 ? value : fallback;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    int seconds = 3;
    int stops = 10;
    for (int i = 1; i < argc; ++i) {
        seconds = intOption(argv[i], L"--seconds=", seconds);
        stops = intOption(argv[i], L"--stops=", stops);
    }
    stationDevice = new StationDevice;
    setReaderHistory(nullptr, 0, nullptr);

    std::printf("Reader thread with nothing to read (%d s each, then %d stops by readerStop alone):\n", seconds,
                stops);
    const Figures silent = measure(Console::Silent, seconds, stops);
    print("silent console, read pending", silent);
    const Figures vanished = measure(Console::Vanished, seconds, stops);
    print("vanished console, reads failing", vanished);

    const bool ended = stopReader(END_LIMIT_MS);
    stationDevice->closeStation();
    delete stationDevice;
    stationDevice = nullptr;
    return silent.allEnded && vanished.allEnded && ended ? 0 : 1;
}
