#include "app/service_notify_linux.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

#include <systemd/sd-daemon.h>

#include "app/service_status.h"
#include "link/station_link_linux.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto STATUS_EVERY = std::chrono::seconds(1);

std::mutex boardLock;
ServiceStatus board{}; // under boardLock

// The main thread's own.
Clock::duration petEvery{}; // zero: no watchdog
Clock::time_point lastPet;
Clock::time_point lastStatus;
std::string sentStatus;

std::string statusLine()
{
    ServiceStatus copy;
    {
        std::lock_guard<std::mutex> guard(boardLock);
        copy = board;
    }
    return serviceStatusText(copy, localClockTime());
}

// sd_notify's first argument 0: NOTIFY_SOCKET stays set, or every later
// message would go nowhere.
void notify(const std::string& message)
{
    sd_notify(0, message.c_str());
}

} // namespace

void noteConsoleConnection(bool connected)
{
    std::lock_guard<std::mutex> guard(boardLock);
    board.consoleConnected = connected;
}

void noteUploadResult(UploadService service, UploadOutcome outcome)
{
    const ClockTime now = localClockTime();
    std::lock_guard<std::mutex> guard(boardLock);
    if (service < UPLOAD_SERVICE_COUNT)
        board.uploads[service] = UploadResultSeen{true, outcome, now};
}

void noteNetworkResult(Network network, DeliveryVerdict verdict, long waiting)
{
    const ClockTime now = localClockTime();
    std::lock_guard<std::mutex> guard(boardLock);
    const auto n = static_cast<std::size_t>(network);
    if (n < NETWORK_COUNT)
        board.networks[n] = NetworkResultSeen{true, verdict, now, waiting};
}

void noteDownload(bool downloading, unsigned long received, unsigned long total)
{
    std::lock_guard<std::mutex> guard(boardLock);
    board.downloading = downloading;
    board.downloadReceived = received;
    board.downloadTotal = total;
}

void noteArchiveRows(long consoleRecords, long liveObservations)
{
    std::lock_guard<std::mutex> guard(boardLock);
    board.consoleRecords = consoleRecords;
    board.liveObservations = liveObservations;
}

void tellSystemdReady()
{
    // WATCHDOG_USEC and WATCHDOG_PID, as systemd sets them for this process.
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        petEvery = std::chrono::microseconds(usec / 2);
    sentStatus = statusLine();
    lastPet = lastStatus = Clock::now();
    // A slow start (a long migration of the archive) counts against the
    // watchdog too: the first pet comes with the readiness.
    notify("READY=1\nSTATUS=" + sentStatus + (petEvery.count() > 0 ? "\nWATCHDOG=1" : ""));
}

void keepSystemdTold()
{
    const Clock::time_point now = Clock::now();
    if (petEvery.count() > 0 && now - lastPet >= petEvery) {
        notify("WATCHDOG=1");
        lastPet = now;
    }
    if (now - lastStatus < STATUS_EVERY)
        return;
    std::string line = statusLine();
    if (line == sentStatus)
        return;
    sentStatus = std::move(line);
    lastStatus = now;
    notify("STATUS=" + sentStatus);
}

void tellSystemdStopping()
{
    notify("STOPPING=1\nSTATUS=stopping");
}
