// aerovane-sim: serves a message-mode named pipe the way the weather console
// serves its USB link, one 65-byte report or 9-byte command per message. All
// protocol decisions are in console_session; this file only moves bytes and
// keeps time.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim/console_session.h"
#include "sim/event_output.h"
#include "sim/sim_options.h"

namespace {

constexpr DWORD WRITE_LIMIT_MS = 5000; // a program that stops reading is gone
constexpr DWORD COMMAND_BUFFER = 64;   // commands are 9 bytes; more is odd input

struct Shell {
    HANDLE pipe;
    HANDLE writeEvent;
    FILE* log;
    bool verbose;
};

std::uint64_t nowMs()
{
    return GetTickCount64();
}

int writeReport(void* context, const EncodedReport& report)
{
    Shell& shell = *static_cast<Shell*>(context);
    OVERLAPPED overlapped{};
    overlapped.hEvent = shell.writeEvent;
    ResetEvent(shell.writeEvent);
    DWORD written = 0;
    if (!WriteFile(shell.pipe, report.data(), static_cast<DWORD>(report.size()), nullptr, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return 0;
        if (WaitForSingleObject(shell.writeEvent, WRITE_LIMIT_MS) != WAIT_OBJECT_0) {
            CancelIoEx(shell.pipe, &overlapped);
            GetOverlappedResult(shell.pipe, &overlapped, &written, TRUE);
            return 0;
        }
    }
    if (!GetOverlappedResult(shell.pipe, &overlapped, &written, FALSE))
        return 0;
    return written == report.size() ? 1 : 0;
}

void onEvent(void* context, bool detail, const char* line)
{
    const Shell& shell = *static_cast<const Shell*>(context);
    writeEventLine(shell.log, shell.verbose, detail, line);
}

ClockTime hostClock(void*)
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return ClockTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

std::string toUtf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

std::wstring toWide(const char* text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (size <= 0)
        return std::wstring();
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), size);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

// Reads and throws away the rest of an oversized message; returns its
// total length, or 0 when the pipe broke meanwhile.
std::size_t drainMessage(Shell& shell, HANDLE event, std::size_t already)
{
    std::size_t total = already;
    for (int guard = 0; guard < 4096; ++guard) {
        std::uint8_t scratch[256];
        OVERLAPPED overlapped{};
        overlapped.hEvent = event;
        ResetEvent(event);
        DWORD got = 0;
        if (!ReadFile(shell.pipe, scratch, sizeof scratch, nullptr, &overlapped)) {
            const DWORD error = GetLastError();
            if (error == ERROR_IO_PENDING && WaitForSingleObject(event, 1000) != WAIT_OBJECT_0) {
                CancelIoEx(shell.pipe, &overlapped);
                GetOverlappedResult(shell.pipe, &overlapped, &got, TRUE);
                return total;
            }
            if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA)
                return 0;
        }
        const BOOL complete = GetOverlappedResult(shell.pipe, &overlapped, &got, FALSE);
        total += got;
        if (complete)
            return total;
        if (GetLastError() != ERROR_MORE_DATA)
            return 0;
    }
    return total;
}

// One connection, until the program goes away or the session asks to close.
// The console keeps its clock as the program left it.
void serve(Shell& shell, const SimOptions& options, SimClock& clock)
{
    HANDLE readEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!readEvent)
        return;
    ConsoleSession session;
    startSession(session, options, clock, SessionIo{&writeReport, &onEvent, &hostClock, &shell}, nowMs());

    std::uint8_t buffer[COMMAND_BUFFER];
    OVERLAPPED overlapped{};
    bool readPending = false;
    bool connected = true;
    while (connected && !session.closeRequested) {
        if (!readPending) {
            overlapped = OVERLAPPED{};
            overlapped.hEvent = readEvent;
            ResetEvent(readEvent);
            if (!ReadFile(shell.pipe, buffer, sizeof buffer, nullptr, &overlapped)) {
                const DWORD error = GetLastError();
                if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA)
                    break;
            }
            readPending = true;
        }
        const std::uint64_t now = nowMs();
        const std::uint64_t due = sessionNextDeadline(session, now);
        const DWORD wait = due > now ? static_cast<DWORD>(due - now) : 0;
        if (WaitForSingleObject(readEvent, wait) == WAIT_OBJECT_0) {
            DWORD got = 0;
            readPending = false;
            if (GetOverlappedResult(shell.pipe, &overlapped, &got, FALSE)) {
                sessionCommand(session, buffer, got, nowMs());
            } else if (GetLastError() == ERROR_MORE_DATA) {
                const std::size_t total = drainMessage(shell, readEvent, got);
                if (total == 0)
                    connected = false;
                else
                    sessionCommand(session, buffer, total, nowMs());
            } else {
                connected = false;
            }
        }
        if (connected)
            sessionTick(session, nowMs());
    }
    if (readPending) {
        DWORD got = 0;
        CancelIoEx(shell.pipe, &overlapped);
        GetOverlappedResult(shell.pipe, &overlapped, &got, TRUE);
    }
    CloseHandle(readEvent);
    clock = session.clock;
}

bool waitForProgram(HANDLE pipe)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event)
        return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = event;
    bool connected = false;
    if (ConnectNamedPipe(pipe, &overlapped)) {
        connected = true;
    } else {
        const DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            connected = true;
        } else if (error == ERROR_IO_PENDING) {
            DWORD unused = 0;
            connected = GetOverlappedResult(pipe, &overlapped, &unused, TRUE) != FALSE;
        }
    }
    CloseHandle(event);
    return connected;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(toUtf8(argv[i]));
    std::vector<const char*> pointers;
    for (const std::string& a : args)
        pointers.push_back(a.c_str());

    static SimOptions options;
    const int ended = takeSimCommandLine(argc, pointers.data(), options, SIM_PIPE_HELP);
    if (ended >= 0)
        return ended;

    Shell shell{INVALID_HANDLE_VALUE, nullptr, nullptr, options.verbose};
    if (options.logPath[0]) {
        shell.log = _wfopen(toWide(options.logPath).c_str(), L"ab");
        if (!shell.log) {
            std::fprintf(stderr, "aerovane-sim: cannot open the log file %s\n", options.logPath);
            return 1;
        }
    }

    SimClock clock{};
    clock.baseMs = nowMs();
    if (options.fixedStart) {
        clock.baseMinute = minutesFromCivil(options.start);
    } else {
        SYSTEMTIME t;
        GetLocalTime(&t);
        clock.baseMinute = minutesFromCivil(SimDateTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute});
        clock.baseSecond = t.wSecond;
    }

    const std::wstring pipeName = toWide(options.pipeName);
    // One instance only: a second simulator on the same name must fail
    // loudly rather than share the program's connection attempts.
    shell.pipe = CreateNamedPipeW(pipeName.c_str(),
                                  PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                  ENCODED_REPORT_SIZE * 64, 4096, 0, nullptr);
    shell.writeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (shell.pipe == INVALID_HANDLE_VALUE || !shell.writeEvent) {
        std::fprintf(stderr, "aerovane-sim: cannot create the pipe %s (error %lu)\n", options.pipeName,
                     GetLastError());
        if (shell.log)
            std::fclose(shell.log);
        return 1;
    }
    onEvent(&shell, false, (std::string("listening ") + options.pipeName).c_str());

    for (;;) {
        if (!waitForProgram(shell.pipe)) {
            Sleep(100);
            DisconnectNamedPipe(shell.pipe);
            continue;
        }
        onEvent(&shell, false, "connected");
        serve(shell, options, clock);
        DisconnectNamedPipe(shell.pipe);
        onEvent(&shell, false, "disconnected");
        if (options.once)
            break;
    }
    CloseHandle(shell.writeEvent);
    CloseHandle(shell.pipe);
    if (shell.log)
        std::fclose(shell.log);
    return 0;
}
