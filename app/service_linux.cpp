#include "app/service_linux.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>

#include <malloc.h>

#include "app/archive_keeper_linux.h"
#include "app/exit_codes.h"
#include "app/service_notify_linux.h"
#include "app/service_log_linux.h"
#include "app/stop_signal_linux.h"
#include "archive/archive.h"
#include "archive/archive_refusal.h"
#include "link/history_download_linux.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/station_link_linux.h"
#include "readings/local_zone_linux.h"
#include "readings/record_time.h"
#include "readings/station_fields.h"
#include "settings/data_paths_linux.h"
#include "upload/mqtt_publishing_linux.h"
#include "upload/network_delivery_linux.h"
#include "upload/upload_service_linux.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int TICK_MS = 1000;

ArchiveKeeper keeper;
HistoryDownload download;
// Not empty while a download runs: the reader takes history frames only
// then.
wchar_t historyWanted[2] = L"";
// The networks' deliveries wait for a download whenever the archive may
// have a gap: after the start (the service was down for a while), and when
// the console comes back after it was away longer than GAP_AFTER_ABSENCE.
std::atomic<bool> downloadBeforeDelivery{true};
constexpr auto GAP_AFTER_ABSENCE = std::chrono::minutes(2);

void onMessage(void*, unsigned message, std::intptr_t lParam)
{
    uploadOnMessage(message, lParam);
    noteDownloadMessage(download, message, lParam);
    if (message == WM_LIVE_RECORD && lParam != 0) {
        keeper.storeLive(reinterpret_cast<const std::uint8_t*>(lParam));
        publishLiveObservation(reinterpret_cast<const std::uint8_t*>(lParam));
    }
}

void onNote(void*, bool problem, const char* text)
{
    printServiceLog(problem ? LogLevel::warning : LogLevel::info, text);
}

// With the journal's priority: an absent console is a problem worth a
// warning.
void onConnection(void*, bool present, const char* why)
{
    // Before its first live observation is stored.
    if (present && downloadBeforeDelivery)
        holdNetworkDelivery(true);
    noteDownloadConnection(download, present);
    noteConsoleConnection(present);
    printProgramNote(present ? LogLevel::info : LogLevel::warning, connectionText(present, why));
}

const char* downloadFailure(DownloadResult result)
{
    switch (result) {
    case DownloadResult::noConnection:
        return "the console went away";
    case DownloadResult::sendFailed:
        return "the request could not be sent";
    case DownloadResult::noHistory:
        return "the console holds no history";
    case DownloadResult::consoleRefused:
        return "the console stopped the transfer";
    default:
        return "stopped";
    }
}

// The report page is refreshed on time while a download runs.
struct ReportTimer {
    Clock::time_point next;
    Clock::duration every;

    void refreshWhenDue()
    {
        const Clock::time_point now = Clock::now();
        if (now < next)
            return;
        keeper.refreshReport();
        next = now + every;
    }
};

// systemd hears from the main thread wherever it spends its time.
void tellSystemd()
{
    noteArchiveRows(keeper.consoleRecords(), keeper.liveObservations());
    keepSystemdTold();
}

// A download holds the main thread for as long as it runs (ten minutes for
// a full console, a minute more for one that went quiet): the watchdog is
// petted from here too.
void duringDownload(void* context, unsigned long received, unsigned long total)
{
    static_cast<ReportTimer*>(context)->refreshWhenDue();
    noteDownload(true, received, total);
    tellSystemd();
}

std::size_t recordsArrived(const StationRecord* slots, std::size_t count)
{
    std::size_t whole = 0;
    for (std::size_t i = 0; i < count; ++i)
        whole += slots[i].text[0] != '\0';
    return whole;
}

// Records stamped ahead of this machine's clock: kept, and told, since
// they say the console's clock was wrong when they were made. In the hour
// after the clocks went back, the first pass of the repeated hour is not
// ahead: each record counts from the earliest moment its time can name.
void tellFutureRecords(const StationRecord* slots, std::size_t count)
{
    const std::int64_t limit = utcNowMinutes() + FUTURE_TOLERANCE_MINUTES;
    static StationFields fields;
    std::size_t ahead = 0;
    std::int64_t newest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (slots[i].text[0] == '\0')
            continue;
        parseStationRecord(&slots[i], fields);
        char iso[ISO_TIME_SIZE];
        std::int64_t minute = 0;
        if (isoRecordTime(fields.text[StationFields::recordDate], fields.text[StationFields::recordTime], iso)
            && isoTimeMinutes(iso, minute) && earliestUtcMinutes(minute) > limit) {
            ++ahead;
            newest = ahead == 1 || minute > newest ? minute : newest;
        }
    }
    if (ahead == 0)
        return;
    char newestText[ISO_TIME_SIZE];
    isoTimeText(civilFromMinutes(newest), newestText);
    printServiceLog("archive: " + std::to_string(ahead) + " of the records are dated ahead of this machine's clock"
                    + " (the latest " + newestText + "): kept, but not shown as the present on the report page");
}

// One download merged into the archive. Returns the seconds until the
// next.
int downloadAndMerge(ReportTimer& reports)
{
    // The slots exist only while a download runs: 27 MB a day, not for
    // good.
    auto* slots = static_cast<StationRecord*>(std::calloc(HISTORY_SLOT_COUNT, sizeof(StationRecord)));
    if (!slots) {
        printServiceLog(LogLevel::error, "archive: no memory for a download");
        return DOWNLOAD_RETRY_SECONDS;
    }
    setLinkHistory(slots, HISTORY_SLOT_COUNT, SERVICE_HISTORY_QUIET_MS);
    historyWanted[0] = L'1';
    printServiceLog("archive: downloading the console's history");
    const DownloadResult result = downloadHistory(download, 0, duringDownload, &reports);
    historyWanted[0] = L'\0';
    setLinkHistory(nullptr, 0);
    noteDownload(false);
    int next = DOWNLOAD_RETRY_SECONDS;
    if (result == DownloadResult::done || result == DownloadResult::wentQuiet) {
        std::size_t count = historyTotal;
        if (count > HISTORY_SLOT_COUNT)
            count = HISTORY_SLOT_COUNT;
        if (result == DownloadResult::wentQuiet)
            printServiceLog("archive: download stopped: the console went quiet after "
                            + std::to_string(recordsArrived(slots, count)) + " of " + std::to_string(count)
                            + " records");
        tellFutureRecords(slots, count);
        MergeCounts counts{};
        if (keeper.mergeDownload(slots, count, counts)) {
            printServiceLog("archive: merged " + std::to_string(count) + " records: " + std::to_string(counts.added)
                    + " new, " + std::to_string(counts.alreadyPresent) + " already archived, "
                    + std::to_string(counts.setAside) + " set aside, " + std::to_string(counts.malformed)
                    + " malformed, " + std::to_string(counts.empty) + " lost in the transfer");
            next = result == DownloadResult::wentQuiet ? DOWNLOAD_AFTER_QUIET_SECONDS : DOWNLOAD_EVERY_SECONDS;
        }
    } else if (result != DownloadResult::stopped) {
        printServiceLog(LogLevel::warning, std::string("archive: no download: ") + downloadFailure(result));
        if (result == DownloadResult::noHistory)
            next = DOWNLOAD_EVERY_SECONDS;
    }
    std::free(slots);
    return next;
}

} // namespace

int runService(const CliOptions& options, const AppConfig& config)
{
    // One malloc arena for every thread: each of their own would keep the
    // free pages of its thread's busiest moment, and the threads mostly wait.
    mallopt(M_ARENA_MAX, 1);
    std::string error;
    const std::string archive = archivePathFor(options, config);
    keeper.setOnStored(ringNetworkDelivery);
    if (!keeper.start(archive, config.reportFolder, config.units, error)) {
        printProgramNote(LogLevel::error, error);
        return exitCodeFor(archiveRefusal(archive, ArchiveAccess::write));
    }
    startUploads(options, config, archive);
    if (!startNetworkDelivery(archive, config, error)) {
        printProgramNote(LogLevel::error, error);
        stopUploads();
        keeper.stop();
        return EXIT_REFUSED;
    }
    startMqttPublishing(config);
    if (!startStationLink(options.consolePath.c_str(), nullptr, 0, historyWanted,
                          LinkEvents{onConnection, onMessage, nullptr, onNote})) {
        printProgramNote(LogLevel::error, "cannot start the reader");
        stopUploads();
        keeper.stop();
        stopNetworkDelivery();
        stopMqttPublishing();
        return EXIT_REFUSED;
    }
    Clock::time_point nextDownload = Clock::now();
    Clock::time_point consoleSeen = Clock::now();
    // Released for the console's absence, until its download.
    bool deliveryReleased = false;
    ReportTimer reports{Clock::now(), std::chrono::minutes(config.reportEveryMinutes)};
    noteArchiveRows(keeper.consoleRecords(), keeper.liveObservations());
    tellSystemdReady();
    while (!stopSignalled()) {
        // A console that is away is waited for; the download comes when
        // it is back.
        if (deviceReady == 1) {
            consoleSeen = Clock::now();
        } else if (Clock::now() - consoleSeen > GAP_AFTER_ABSENCE) {
            // What the archive has goes out meanwhile; the console's
            // records of its absence come with a download when it is back,
            // and the deliveries wait for it again from its return.
            downloadBeforeDelivery = true;
            nextDownload = Clock::now();
            if (!deliveryReleased) {
                deliveryReleased = true;
                holdNetworkDelivery(false);
            }
        }
        if (Clock::now() >= nextDownload && deviceReady == 1) {
            const int seconds = downloadAndMerge(reports);
            nextDownload = Clock::now() + std::chrono::seconds(seconds);
            downloadBeforeDelivery = false;
            holdNetworkDelivery(false);
            deliveryReleased = false;
            // What was merged shows at once.
            reports.next = Clock::now();
        }
        reports.refreshWhenDue();
        tellSystemd();
        sleepUnlessStopped(TICK_MS);
    }
    tellSystemdStopping();
    stopStationLink();
    stopUploads();
    // The archive rings the deliveries: it stops first.
    keeper.stop();
    stopNetworkDelivery();
    stopMqttPublishing();
    printProgramNote(LogLevel::info, "service stopped");
    return EXIT_DONE;
}
