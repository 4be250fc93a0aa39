#include "tests/support/console_double_win.h"

#include <cstdio>

#include "tests/support/test_window_win.h"

namespace {

// Room for a burst of reports the program has not read yet.
constexpr DWORD OUT_BUFFER_SIZE = 65 * 64;

bool await(HANDLE event, DWORD timeoutMs, bool pump)
{
    return pump ? waitPumping(event, timeoutMs) : WaitForSingleObject(event, timeoutMs) == WAIT_OBJECT_0;
}

// After a time-out the OVERLAPPED must not be reused until the system has
// let go of it.
void cancelAndSettle(ConsoleDouble& console, OVERLAPPED& overlapped)
{
    DWORD ignored = 0;
    CancelIoEx(console.pipe, &overlapped);
    GetOverlappedResult(console.pipe, &overlapped, &ignored, TRUE);
}

void closeEvent(OVERLAPPED& overlapped)
{
    if (overlapped.hEvent)
        CloseHandle(overlapped.hEvent);
    overlapped = OVERLAPPED{};
}

} // namespace

std::wstring uniquePipeName(const wchar_t* tag)
{
    static unsigned serial = 0;
    wchar_t name[128];
    std::swprintf(name, 128, L"\\\\.\\pipe\\aerovane-test-%lu-%ls-%u", GetCurrentProcessId(), tag,
                  ++serial);
    return name;
}

bool openConsoleDouble(ConsoleDouble& console, const std::wstring& name, DWORD inBufferSize)
{
    console = ConsoleDouble{};
    console.pipe = CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                    PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                    PIPE_UNLIMITED_INSTANCES,
                                    OUT_BUFFER_SIZE, inBufferSize, 0, nullptr);
    if (console.pipe == INVALID_HANDLE_VALUE)
        return false;
    console.connect.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    console.read.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    console.write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!console.connect.hEvent || !console.read.hEvent || !console.write.hEvent)
        return false;
    if (ConnectNamedPipe(console.pipe, &console.connect))
        console.connected = true;
    else if (GetLastError() == ERROR_PIPE_CONNECTED)
        console.connected = true;
    else if (GetLastError() != ERROR_IO_PENDING)
        return false;
    return true;
}

bool awaitProgram(ConsoleDouble& console, DWORD timeoutMs)
{
    if (console.connected)
        return true;
    if (!waitPumping(console.connect.hEvent, timeoutMs))
        return false;
    DWORD ignored = 0;
    console.connected = GetOverlappedResult(console.pipe, &console.connect, &ignored, FALSE) != 0;
    return console.connected;
}

void closeConsoleDouble(ConsoleDouble& console)
{
    if (console.pipe != INVALID_HANDLE_VALUE) {
        // Ends a pending ConnectNamedPipe before its OVERLAPPED goes away.
        if (!console.connected)
            cancelAndSettle(console, console.connect);
        CloseHandle(console.pipe);
    }
    console.pipe = INVALID_HANDLE_VALUE;
    closeEvent(console.connect);
    closeEvent(console.read);
    closeEvent(console.write);
    console.connected = false;
}

bool sendReport(ConsoleDouble& console, const EncodedReport& report, DWORD timeoutMs, bool pump)
{
    DWORD written = 0;
    if (WriteFile(console.pipe, report.data(), static_cast<DWORD>(report.size()), nullptr,
                  &console.write))
        return GetOverlappedResult(console.pipe, &console.write, &written, FALSE) && written == report.size();
    if (GetLastError() != ERROR_IO_PENDING)
        return false;
    if (!await(console.write.hEvent, timeoutMs, pump)) {
        cancelAndSettle(console, console.write);
        return false;
    }
    return GetOverlappedResult(console.pipe, &console.write, &written, FALSE) && written == report.size();
}

bool receiveCommand(ConsoleDouble& console, CommandReport& command, DWORD timeoutMs, DWORD* size)
{
    // Larger than a command, so that an oversized message shows.
    std::uint8_t buffer[64] = {};
    DWORD got = 0;
    if (size)
        *size = 0;
    if (!ReadFile(console.pipe, buffer, sizeof buffer, nullptr, &console.read)) {
        if (GetLastError() != ERROR_IO_PENDING)
            return false;
        if (!waitPumping(console.read.hEvent, timeoutMs)) {
            cancelAndSettle(console, console.read);
            return false;
        }
    }
    if (!GetOverlappedResult(console.pipe, &console.read, &got, FALSE))
        return false;
    if (size)
        *size = got;
    if (got != command.size())
        return false;
    for (std::size_t i = 0; i < command.size(); ++i)
        command[i] = buffer[i];
    return true;
}

bool sendAnswered(ConsoleDouble& console, const EncodedMessage& message,
                  std::vector<CommandReport>& answers, DWORD timeoutMs)
{
    for (std::size_t i = 0; i < message.count; ++i) {
        CommandReport answer{};
        if (!sendReport(console, message.reports[i], timeoutMs)
            || !receiveCommand(console, answer, timeoutMs))
            return false;
        answers.push_back(answer);
    }
    return true;
}

EncodedMessage encodeText(std::uint8_t kind, ReportHeader header, const std::string& text)
{
    EncodedMessage message{};
    encodeMessage(kind, header, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                  message);
    return message;
}

std::string observationText(int serial)
{
    char line[400];
    std::snprintf(line, sizeof line,
                  "57 2026-03-07 09:%02d 21.4 45 %d.%d 81 1.2 0.0 3.6 15.2 52.0 0.3 1013.2 1009.8 "
                  "5.4 9.7 247 2 -2.5 6.1 74 --.- -- 11.9 66 18.0 52 --.- -- 4.4 90 7.8 0 12.0 43",
                  serial % 60, serial % 40, serial % 10);
    return line;
}
