#include "app/service_linux.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/archive_keeper_linux.h"
#include "app/service_log_linux.h"
#include "app/stop_signal_linux.h"
#include "archive/archive.h"
#include "link/history_download_linux.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/station_link_linux.h"
#include "settings/data_paths_linux.h"
#include "upload/upload_service_linux.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int TICK_MS = 1000;

ArchiveKeeper keeper;
HistoryDownload download;
// Not empty while a download runs: the reader takes history frames only
// then.
wchar_t historyWanted[2] = L"";

void onMessage(void*, unsigned message, std::intptr_t lParam)
{
    uploadOnMessage(message, lParam);
    noteDownloadMessage(download, message, lParam);
    if (message == WM_LIVE_RECORD && lParam != 0)
        keeper.storeLive(reinterpret_cast<const std::uint8_t*>(lParam));
}

void onConnection(void* context, bool present, const char* why)
{
    noteDownloadConnection(download, present);
    reportConnectionOnStderr(context, present, why);
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

// One download merged into the archive. Returns the seconds until the
// next.
int downloadAndMerge()
{
    // The slots exist only while a download runs: 27 MB a day, not for
    // good.
    auto* slots = static_cast<StationRecord*>(std::calloc(HISTORY_SLOT_COUNT, sizeof(StationRecord)));
    if (!slots) {
        printServiceLog("archive: no memory for a download");
        return DOWNLOAD_RETRY_SECONDS;
    }
    setLinkHistory(slots, HISTORY_SLOT_COUNT);
    historyWanted[0] = L'1';
    printServiceLog("archive: downloading the console's history");
    const DownloadResult result = downloadHistory(download, 0, nullptr, nullptr);
    historyWanted[0] = L'\0';
    setLinkHistory(nullptr, 0);
    int next = DOWNLOAD_RETRY_SECONDS;
    if (result == DownloadResult::done) {
        std::size_t count = historyTotal;
        if (count > HISTORY_SLOT_COUNT)
            count = HISTORY_SLOT_COUNT;
        MergeCounts counts{};
        if (keeper.mergeDownload(slots, count, counts)) {
            printServiceLog("archive: merged " + std::to_string(count) + " records: " + std::to_string(counts.added)
                    + " new, " + std::to_string(counts.alreadyPresent) + " already archived, "
                    + std::to_string(counts.setAside) + " set aside, " + std::to_string(counts.malformed)
                    + " malformed, " + std::to_string(counts.empty) + " lost in the transfer");
            next = DOWNLOAD_EVERY_SECONDS;
        }
    } else if (result != DownloadResult::stopped) {
        printServiceLog(std::string("archive: no download: ") + downloadFailure(result));
        if (result == DownloadResult::noHistory)
            next = DOWNLOAD_EVERY_SECONDS;
    }
    std::free(slots);
    return next;
}

} // namespace

int runService(const CliOptions& options, const AppConfig& config)
{
    startUploads(options, config);
    std::string error;
    if (!keeper.start(archivePathFor(options, config), config.reportFolder, config.units, error)) {
        std::fprintf(stderr, "aerovane: %s\n", error.c_str());
        stopUploads();
        return 1;
    }
    if (!startStationLink(options.consolePath.c_str(), nullptr, 0, historyWanted,
                          LinkEvents{onConnection, onMessage, nullptr})) {
        std::fprintf(stderr, "aerovane: cannot start the reader\n");
        stopUploads();
        keeper.stop();
        return 1;
    }
    Clock::time_point nextDownload = Clock::now();
    Clock::time_point nextReport = Clock::now();
    const auto reportEvery = std::chrono::minutes(config.reportEveryMinutes);
    while (!stopSignalled()) {
        const Clock::time_point now = Clock::now();
        // A console that is away is waited for; the download comes when
        // it is back.
        if (now >= nextDownload && deviceReady == 1) {
            const int seconds = downloadAndMerge();
            nextDownload = Clock::now() + std::chrono::seconds(seconds);
            keeper.refreshReport();
            nextReport = Clock::now() + reportEvery;
        }
        if (now >= nextReport) {
            keeper.refreshReport();
            nextReport = now + reportEvery;
        }
        sleepUnlessStopped(TICK_MS);
    }
    stopStationLink();
    stopUploads();
    keeper.stop();
    std::fprintf(stderr, "aerovane: service stopped\n");
    return 0;
}
