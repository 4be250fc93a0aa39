#include "link/reader_thread_win.h"

#include <atomic>
#include <cstring>
#include <new>

#include "link/console_option.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/report_reader.h"
#include "link/station_device_win.h"

HWND statusBar = nullptr;
HWND connectionReceiver = nullptr;

namespace {

// A cancelled read normally ends at once; past this, the system is taken to
// keep the read's buffers, and they are left to it.
constexpr DWORD CANCEL_GRACE_MS = 1000;
constexpr DWORD CLOCK_COMMAND_GAP_MS = 100;
constexpr WPARAM STATION_ABSENT = 5; // WM_STATION_CONNECTION's "absent"

// Handed over by the program at start-up (setReaderHistory): the link knows
// nothing of the store's owner or of the export job.
StationRecord* historySlots = nullptr;
std::size_t historySlotCount = 0;
// The export job's file name: history frames are taken only once one is chosen.
const wchar_t* readerExportPath = nullptr;

// Kept open (not closed at once) so that shutdown can wait for the thread.
HANDLE readerHandle = nullptr;
// Manual-reset: once set, every wait of the ending reader returns at once.
HANDLE readerWake = nullptr;
// Counts the readers started. Changed only while no reader runs; each
// reader takes it when it starts and tags its loss report with it.
std::atomic<LPARAM> generation{0};

struct ReaderContext {
    HWND target;
    OVERLAPPED overlapped; // its event is auto-reset
    std::uint8_t report[INPUT_REPORT_SIZE];
    ReportReader reader;
    unsigned failedReads;  // in a row
    bool lossReported;     // WM_STATION_CONNECTION 5 posted
    LPARAM generation;     // this reader's number, for its loss report
};

enum class ReadEnd { Completed, Stopped, Abandoned };

int writeCommand(void*, const CommandReport& command)
{
    return sendCommand(command);
}

void deliver(void* context, unsigned message, std::intptr_t lParam)
{
    const auto* reader = static_cast<const ReaderContext*>(context);
    const bool forStatusBar =
        message == WM_HISTORY_TOTAL || message == WM_HISTORY_PROGRESS || message == WM_PROGRESS_CLEAR;
    const HWND receiver = forStatusBar ? statusBar : reader->target;
    if (receiver)
        SendMessageW(receiver, message, 0, static_cast<LPARAM>(lParam));
}

void idle()
{
    if (readerWake)
        WaitForSingleObject(readerWake, READER_IDLE_MS);
    else
        Sleep(READER_IDLE_MS);
}

// Errors that say the console's end is gone for good.
bool consoleGone(DWORD error)
{
    return error == ERROR_BROKEN_PIPE || error == ERROR_PIPE_NOT_CONNECTED || error == ERROR_NO_DATA
           || error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_INVALID_HANDLE;
}

// A read failed: the console was removed or its pipe broke, and the next
// read would fail the same way, so the reader pauses instead of spinning
// until readerStop comes. A pipe console's removal is noticed only here, so
// it is reported to the main window, which then runs its removal path.
// Posted, not sent: the main thread may be waiting for this reader to end.
void readFailed(ReaderContext& reader, DWORD error)
{
    ++reader.failedReads;
    const bool gone = consoleGone(error) || reader.failedReads >= READER_FAILED_READS_LIMIT;
    if (gone && !reader.lossReported && consolePath[0] != 0 && connectionReceiver && readerStop == 0) {
        reader.lossReported = true;
        PostMessageW(connectionReceiver, WM_STATION_CONNECTION, STATION_ABSENT, reader.generation);
    }
    idle();
}

// Waits for the pending read. A console that has gone quiet would keep the
// read pending for ever, so readerStop is looked at every READER_IDLE_MS
// (the removal path sets it without waking anyone) and the read is then
// cancelled; the buffers may be reused only once the cancel has landed.
ReadEnd awaitRead(ReaderContext& reader, HANDLE io)
{
    const HANDLE events[2] = {reader.overlapped.hEvent, readerWake};
    const DWORD count = readerWake ? 2 : 1;
    for (;;) {
        const DWORD woken = WaitForMultipleObjects(count, events, FALSE, READER_IDLE_MS);
        if (woken == WAIT_OBJECT_0)
            return ReadEnd::Completed;
        if (readerStop != 0 || woken == WAIT_FAILED)
            break;
        checkHistoryQuiet(reader.reader, GetTickCount64());
    }
    CancelIoEx(io, &reader.overlapped);
    if (WaitForSingleObject(reader.overlapped.hEvent, CANCEL_GRACE_MS) == WAIT_OBJECT_0)
        return ReadEnd::Stopped;
    return ReadEnd::Abandoned;
}

// One pass: one report read and handled, or a pause. False when a read
// could not be ended, so its buffers must stay allocated.
bool readPass(ReaderContext& reader)
{
    std::memset(reader.report, 0, sizeof reader.report);
    const StationDevice* device = stationDevice;
    const HANDLE io = device ? device->ioHandle : INVALID_HANDLE_VALUE;
    if (io == INVALID_HANDLE_VALUE || io == nullptr) {
        idle();
        return true;
    }
    if (!ReadFile(io, reader.report, sizeof reader.report, nullptr, &reader.overlapped)) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
            readFailed(reader, error);
            return true;
        }
    }
    DWORD got = 0;
    // Asking the OVERLAPPED rather than trusting the event alone: a read
    // that completed at once leaves the auto-reset event signalled.
    while (!GetOverlappedResult(io, &reader.overlapped, &got, FALSE)) {
        const DWORD error = GetLastError();
        // A pipe message longer than a report: its first 65 bytes are one.
        if (error == ERROR_MORE_DATA)
            break;
        if (error != ERROR_IO_INCOMPLETE) {
            // Our own cancels end in awaitRead; anything else failed the read.
            readFailed(reader, error);
            return true;
        }
        const ReadEnd end = awaitRead(reader, io);
        if (end != ReadEnd::Completed)
            return end == ReadEnd::Stopped;
    }
    reader.failedReads = 0;
    if (got != 0)
        handleInputReport(reader.reader, reader.report);
    checkHistoryQuiet(reader.reader, GetTickCount64());
    return true;
}

DWORD WINAPI readerThread(void* targetWindow)
{
    auto* reader = new (std::nothrow) ReaderContext{};
    if (!reader)
        return 1;
    reader->target = static_cast<HWND>(targetWindow);
    reader->generation = generation;
    reader->overlapped.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!reader->overlapped.hEvent) {
        delete reader;
        return 1;
    }
    initReportReader(reader->reader, ReaderOutput{&writeCommand, &deliver, reader}, historySlots,
                     historySlotCount, readerExportPath);
    for (;;) {
        if (!readPass(*reader))
            return 0; // deliberately leaked: the system may still write into it
        if (readerStop != 0)
            break;
    }
    CloseHandle(reader->overlapped.hEvent);
    delete reader;
    return 0;
}

// Waits for `handle` while delivering the messages other threads send to
// this thread's windows. Posted messages stay queued.
bool waitHandlingSentMessages(HANDLE handle, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &handle, left, QS_SENDMESSAGE, 0);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken != WAIT_OBJECT_0 + 1)
            return false;
        if (left == 0) {
            PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
        }
    }
}

} // namespace

void setReaderHistory(StationRecord* slots, std::size_t slotCount, const wchar_t* path)
{
    historySlots = slots;
    historySlotCount = slots ? slotCount : 0;
    readerExportPath = path;
}

int startReader(HWND target)
{
    if (!stopReader(READER_STOP_TIMEOUT_MS))
        return 0;
    readerWake = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!readerWake)
        return 0;
    // Cleared here rather than by the new thread: a removal that sets it
    // before that thread first runs must not be undone.
    readerStop = 0;
    ++generation;
    readerHandle = CreateThread(nullptr, 0, readerThread, target, 0, nullptr);
    if (!readerHandle) {
        readerStop = 1;
        CloseHandle(readerWake);
        readerWake = nullptr;
        return 0;
    }
    return 1;
}

bool stopReader(DWORD timeoutMs)
{
    readerStop = 1;
    if (readerWake)
        SetEvent(readerWake);
    return awaitReader(timeoutMs);
}

LPARAM readerGeneration()
{
    return generation;
}

bool awaitReader(DWORD timeoutMs)
{
    if (!readerHandle)
        return true;
    if (!waitHandlingSentMessages(readerHandle, timeoutMs))
        return false;
    CloseHandle(readerHandle);
    readerHandle = nullptr;
    CloseHandle(readerWake);
    readerWake = nullptr;
    return true;
}

void sendClock()
{
    SYSTEMTIME local;
    GetLocalTime(&local);
    const ClockTime now{local.wYear, local.wMonth, local.wDay,
                        local.wHour, local.wMinute, local.wSecond};
    sendCommand(makeSetDateCommand(now));
    Sleep(CLOCK_COMMAND_GAP_MS);
    sendCommand(makeSetTimeCommand(now));
}
