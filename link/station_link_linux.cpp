#include "link/station_link_linux.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>

#include <sys/timex.h>

#include "link/console_link_linux.h"
#include "link/console_lock_linux.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/report_layout.h"
#include "link/report_reader.h"

namespace {

constexpr auto CLOCK_COMMAND_GAP = std::chrono::milliseconds(100);
constexpr auto STOP_TO_READ_CURRENT = std::chrono::milliseconds(100);

using Clock = std::chrono::steady_clock;

struct Link {
    std::string consolePath;
    LinkEvents events;
    const wchar_t* exportPath;
    StationRecord* historySlots;
    std::size_t historySlotCount;
    std::uint32_t historyQuietMs = HISTORY_QUIET_MS;
    bool clockAllowed = true; // as last told

    // Held while a report is handled and while the slots change.
    std::mutex readerLock;
    ReportReader reader;
    // Held by every write and by the close, so no write meets a closed
    // handle. The reader alone opens and closes.
    std::mutex writeLock;
    ConsoleLink console;

    std::mutex waitLock;
    std::condition_variable wake; // a stop cuts the retry pause short
    std::thread thread;
};

Link* station = nullptr;
std::atomic<bool> heldByAnother{false};
std::atomic<ClockSync> clockSync{ClockSync::whenSynchronised};
std::mutex ownerLock;
std::string ownerText; // why, as the last look found it in use

int writeCommand(void*, const CommandReport& command)
{
    return sendCommand(command);
}

void tellNote(const Link& self, bool problem, const char* text)
{
    if (self.events.note) {
        self.events.note(self.events.context, problem, text);
    } else {
        std::fprintf(stderr, "aerovane: %s\n", text);
        std::fflush(stderr);
    }
}

// A clock that is wrong (a machine without a clock chip before its network
// time came) would stamp wrong times into the console's history for good:
// such a clock is not passed on. Said when that starts and when it ends.
bool clockMayBeSet(Link& self)
{
    const ClockSync sync = clockSync;
    const bool allowed = sync == ClockSync::always || (sync == ClockSync::whenSynchronised && systemClockSynchronised());
    if (sync == ClockSync::whenSynchronised && allowed != self.clockAllowed) {
        tellNote(self, !allowed,
                 allowed ? "clock: this machine's clock is synchronised: the console's clock is set again"
                               : "clock: this machine's clock is not synchronised: the console's clock is left "
                                 "alone (set [clock] sync = always where there is no network time)");
    }
    self.clockAllowed = allowed;
    return allowed;
}

void deliver(void* context, unsigned message, std::intptr_t lParam)
{
    Link& self = *static_cast<Link*>(context);
    // Every command keeps the console's clock, as the Windows dashboard
    // does whatever page is shown.
    if (message == WM_CLOCK_REQUEST && clockMayBeSet(self))
        sendClock();
    if (self.events.message)
        self.events.message(self.events.context, message, lParam);
}

void tellConnection(Link& self, bool present, const char* why)
{
    if (self.events.connection)
        self.events.connection(self.events.context, present, why);
}

void pause(Link& self, Clock::duration length)
{
    std::unique_lock<std::mutex> lock(self.waitLock);
    self.wake.wait_for(lock, length, [] { return readerStop != 0; });
}

bool openConsole(Link& self, char* why, std::size_t whySize)
{
    ConsoleLink opened{};
    const int result = self.consolePath.empty() ? openHidConsole(opened, why, whySize)
                                                : openSocketConsole(self.consolePath.c_str(), opened, why, whySize);
    if (result == CONSOLE_BUSY) {
        std::lock_guard<std::mutex> lock(ownerLock);
        ownerText = why;
    }
    heldByAnother = result == CONSOLE_BUSY;
    if (result != CONSOLE_OPENED)
        return false;
    {
        std::lock_guard<std::mutex> lock(self.readerLock);
        initReportReader(self.reader, ReaderOutput{&writeCommand, &deliver, &self}, self.historySlots,
                         self.historySlotCount, self.exportPath);
        self.reader.historyQuietMs = self.historyQuietMs;
    }
    {
        std::lock_guard<std::mutex> lock(self.writeLock);
        self.console = opened;
    }
    deviceReady = 1;
    transferCancelled = 0;
    // As the Windows program greets a console: whatever it was sending
    // stops, then the current observation is asked for.
    sendCommand(CMD_STOP);
    std::this_thread::sleep_for(STOP_TO_READ_CURRENT);
    sendCommand(CMD_READ_CURRENT);
    tellConnection(self, true, "");
    return true;
}

void closeConsole(Link& self)
{
    std::lock_guard<std::mutex> lock(self.writeLock);
    if (self.console.handle)
        self.console.close(self.console.handle);
    unlockConsole(self.console.lockFd);
    self.console = ConsoleLink{};
}

// The console vanished: a running transfer is cancelled, as on Windows.
void consoleLost(Link& self)
{
    closeConsole(self);
    deviceReady = 0;
    cancelHistoryTransfer();
    tellConnection(self, false, "the console went away");
}

void noticeQuiet(Link& self)
{
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    std::lock_guard<std::mutex> lock(self.readerLock);
    checkHistoryQuiet(self.reader, static_cast<std::uint64_t>(now.count()));
}

void readerLoop(Link& self)
{
    // The report as the core reads it: report ID first, then hidraw's 64.
    std::uint8_t report[INPUT_REPORT_SIZE];
    bool lastAttemptFailed = false;
    while (readerStop == 0) {
        if (!self.console.handle) {
            char why[200] = "";
            if (openConsole(self, why, sizeof why)) {
                lastAttemptFailed = false;
                continue;
            }
            // Said once per absence, not at every look.
            if (!lastAttemptFailed)
                tellConnection(self, false, why);
            lastAttemptFailed = true;
            pause(self, std::chrono::milliseconds(CONSOLE_RETRY_MS));
            continue;
        }
        std::memset(report, 0, sizeof report);
        const int got = self.console.read(self.console.handle, report + 1, READ_TIMEOUT_MS);
        if (got < 0) {
            consoleLost(self);
            lastAttemptFailed = true;
            pause(self, std::chrono::milliseconds(CONSOLE_RETRY_MS));
        } else if (got > 0) {
            std::lock_guard<std::mutex> lock(self.readerLock);
            handleInputReport(self.reader, report);
        }
        if (got >= 0)
            noticeQuiet(self);
    }
    closeConsole(self);
    deviceReady = 0;
}

} // namespace

int startStationLink(const char* consolePath, StationRecord* historySlots, std::size_t historySlotCount,
                     const wchar_t* exportPath, LinkEvents events)
{
    if (station)
        return 0;
    station = new Link{};
    station->consolePath = consolePath ? consolePath : "";
    station->events = events;
    station->exportPath = exportPath;
    station->historySlots = historySlots;
    station->historySlotCount = historySlots ? historySlotCount : 0;
    readerStop = 0;
    try {
        station->thread = std::thread(readerLoop, std::ref(*station));
    } catch (...) {
        delete station;
        station = nullptr;
        return 0;
    }
    return 1;
}

void setLinkHistory(StationRecord* historySlots, std::size_t historySlotCount, std::uint32_t quietMs)
{
    if (!station)
        return;
    std::lock_guard<std::mutex> lock(station->readerLock);
    station->historySlots = historySlots;
    station->historySlotCount = historySlots ? historySlotCount : 0;
    station->historyQuietMs = quietMs;
    station->reader.historyQuietMs = quietMs;
    station->reader.historySlots = station->historySlots;
    station->reader.historySlotCount = station->historySlotCount;
}

void stopStationLink()
{
    if (!station)
        return;
    {
        std::lock_guard<std::mutex> lock(station->waitLock);
        readerStop = 1;
    }
    station->wake.notify_all();
    if (station->thread.joinable())
        station->thread.join();
    delete station;
    station = nullptr;
}

void setConsoleClockSync(ClockSync sync)
{
    clockSync = sync;
}

bool systemClockSynchronised()
{
    timex state{};
    const int clock = adjtimex(&state);
    return clock != -1 && clock != TIME_ERROR && (state.status & STA_UNSYNC) == 0;
}

bool consoleHeldByAnother()
{
    return heldByAnother;
}

void reportConsoleInUse()
{
    std::string owner;
    {
        std::lock_guard<std::mutex> lock(ownerLock);
        owner = ownerText;
    }
    std::fprintf(stderr,
                 "aerovane: %s\n"
                 "aerovane: when that is the service, its archive has the history (aerovane export --from-archive)"
                 " and its log says what it does (journalctl -u aerovane)\n",
                 owner.empty() ? CONSOLE_IN_USE : owner.c_str());
    std::fflush(stderr);
}

std::string connectionText(bool present, const char* why)
{
    if (present)
        return "console connected";
    return std::string("No connection (") + why + "); looking again every " + std::to_string(CONSOLE_RETRY_MS / 1000)
         + " s";
}

void reportConnectionOnStderr(void*, bool present, const char* why)
{
    std::fprintf(stderr, "aerovane: %s\n", connectionText(present, why).c_str());
    std::fflush(stderr);
}

int sendCommand(const CommandReport& command)
{
    if (!station)
        return 0;
    std::lock_guard<std::mutex> lock(station->writeLock);
    if (!station->console.handle)
        return 0;
    return station->console.write(station->console.handle, command.data(), command.size());
}

ClockTime localClockTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ClockTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                     local.tm_hour,        local.tm_min,     local.tm_sec};
}

void sendClock()
{
    const ClockTime clock = localClockTime();
    sendCommand(makeSetDateCommand(clock));
    std::this_thread::sleep_for(CLOCK_COMMAND_GAP);
    sendCommand(makeSetTimeCommand(clock));
}
