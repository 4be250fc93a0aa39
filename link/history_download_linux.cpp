#include "link/history_download_linux.h"

#include "app/stop_signal_linux.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/station_link_linux.h"

namespace {

constexpr int TICK_MS = 100;
// The answer to CMD_READ_CURRENT is let through before the history is
// asked for, so the download starts on a quiet link.
constexpr int FIRST_LIVE_WAIT_MS = 3000;

// Waits until `ready` or a stop signal or `limitMs`; true when ready.
template <typename Ready>
bool waitFor(Ready ready, int limitMs)
{
    for (int waited = 0; !ready(); waited += TICK_MS) {
        if (waited >= limitMs || sleepUnlessStopped(TICK_MS))
            return ready();
    }
    return true;
}

} // namespace

void noteDownloadMessage(HistoryDownload& download, unsigned message, std::intptr_t lParam)
{
    switch (message) {
    case WM_LIVE_RECORD:
        download.liveSeen = true;
        break;
    case WM_HISTORY_TOTAL:
        download.total = static_cast<unsigned long>(lParam);
        break;
    case WM_HISTORY_PROGRESS:
        download.received = static_cast<unsigned long>(lParam);
        break;
    case WM_HISTORY_DONE:
        download.done = true;
        break;
    case WM_NO_HISTORY:
        download.noHistory = true;
        break;
    default:
        break;
    }
}

void noteDownloadConnection(HistoryDownload& download, bool present)
{
    if (present) {
        // A console (re)connected answers CMD_READ_CURRENT first.
        download.liveSeen = false;
    } else if (deviceReady == 0) {
        download.lost = true;
    }
}

namespace {

DownloadResult awaitDownload(HistoryDownload& download, DownloadProgress progress, void* context)
{
    transferCancelled = 0;
    historyComplete = 0;
    historyRequested = HISTORY_REQUESTED;
    if (sendCommand(CMD_READ_HISTORY) != 1)
        return DownloadResult::sendFailed;
    while (!download.done) {
        if (sleepUnlessStopped(TICK_MS)) {
            sendCommand(CMD_STOP);
            return DownloadResult::stopped;
        }
        if (download.noHistory)
            return DownloadResult::noHistory;
        if (download.lost)
            return DownloadResult::noConnection;
        // The console's refusal (a status report cancelling the transfer)
        // or its removal.
        if (transferCancelled != 0)
            return DownloadResult::consoleRefused;
        if (progress)
            progress(context, download.received, download.total);
    }
    if (progress)
        progress(context, download.received, download.total);
    return historyWentQuiet != 0 ? DownloadResult::wentQuiet : DownloadResult::done;
}

} // namespace

DownloadResult downloadHistory(HistoryDownload& download, int connectWaitMs, DownloadProgress progress,
                               void* context)
{
    download.noHistory = false;
    download.done = false;
    download.lost = false;
    download.total = 0;
    download.received = 0;
    if (!waitFor([] { return deviceReady == 1 || consoleHeldByAnother(); }, connectWaitMs) || deviceReady != 1) {
        if (stopSignalled())
            return DownloadResult::stopped;
        return consoleHeldByAnother() ? DownloadResult::consoleBusy : DownloadResult::noConnection;
    }
    waitFor([&] { return download.liveSeen.load(); }, FIRST_LIVE_WAIT_MS);
    if (stopSignalled())
        return DownloadResult::stopped;
    const DownloadResult result = awaitDownload(download, progress, context);
    // Whatever the end, no request stands and the next download, in this
    // connection or another, starts its own bookkeeping.
    if (result != DownloadResult::done && result != DownloadResult::wentQuiet)
        cancelHistoryTransfer();
    historyRequested = HISTORY_NOT_REQUESTED;
    historyActive = 0;
    return result;
}
