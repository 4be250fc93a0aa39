#include "export/export_command_linux.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

#include "app/stop_signal_linux.h"
#include "export/export_csv.h"
#include "export/export_file.h"
#include "export/export_job.h"
#include "export/export_options.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/station_link_linux.h"
#include "readings/text_output.h"
#include "readings/units.h"

namespace {

constexpr int TICK_MS = 100;
// How long a console that is not there yet is waited for.
constexpr int CONNECT_WAIT_MS = 5000;
// The answer to CMD_READ_CURRENT is let through before the history is
// asked for: a live observation in the middle of a download ends it.
constexpr int FIRST_LIVE_WAIT_MS = 3000;
constexpr int PROGRESS_BAR_WIDTH = 30;

// Set on the reader thread, read on the main thread.
struct Download {
    std::atomic<bool> liveSeen{false};
    std::atomic<bool> noHistory{false};
    std::atomic<bool> done{false};
    std::atomic<bool> lost{false};
    std::atomic<unsigned long> total{0};
    std::atomic<unsigned long> received{0};
};

Download download;

void onMessage(void*, unsigned message, std::intptr_t lParam)
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

void onConnection(void*, bool present, const char*)
{
    if (!present && deviceReady == 0)
        download.lost = true;
}

void refuse(const char* text)
{
    std::fprintf(stderr, "aerovane: %s\n", text);
}

void refuse(const wchar_t* text)
{
    std::string utf8;
    appendUtf8(utf8, text);
    refuse(utf8.c_str());
}

// The progress bar goes to a terminal only; a log or pipe gets nothing.
struct Progress {
    bool shown;
    bool drawn;
};

void drawProgress(Progress& progress, unsigned long received, unsigned long total)
{
    if (!progress.shown || total == 0)
        return;
    const unsigned long done = received > total ? total : received;
    const int filled = static_cast<int>(done * PROGRESS_BAR_WIDTH / total);
    char bar[PROGRESS_BAR_WIDTH + 1];
    for (int i = 0; i < PROGRESS_BAR_WIDTH; ++i)
        bar[i] = i < filled ? '#' : '.';
    bar[PROGRESS_BAR_WIDTH] = '\0';
    std::fprintf(stderr, "\r[%s] %lu/%lu records %3lu%%", bar, done, total, done * 100 / total);
    std::fflush(stderr);
    progress.drawn = true;
}

void endProgress(Progress& progress)
{
    if (progress.drawn)
        std::fputc('\n', stderr);
    progress.drawn = false;
}

// The directory must take a new file: a download of many minutes should
// not end in "write file failed !" for a typo.
bool looksWritable(const std::string& path)
{
    if (access(path.c_str(), F_OK) == 0)
        return access(path.c_str(), W_OK) == 0;
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return access(folder.c_str(), W_OK | X_OK) == 0;
}

// exportPath is what lets history frames in; the reader only asks whether
// it is empty.
bool setExportPath(const std::string& path)
{
    if (path.size() >= EXPORT_PATH_SIZE)
        return false;
    std::size_t n = 0;
    for (; n < path.size(); ++n)
        exportPath[n] = static_cast<wchar_t>(static_cast<unsigned char>(path[n]));
    exportPath[n] = L'\0';
    return true;
}

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

struct Writing {
    const CliOptions* options;
    std::FILE* file;
    const StationRecord* slots;
    std::size_t count;
    ExportOutcome outcome;
    // Its own flag, not transferCancelled: a live observation arriving
    // meanwhile clears that one, and with it the user's Ctrl-C.
    LinkFlag cancel{0};
    std::atomic<bool> finished{false};
};

void writeFile(Writing& writing)
{
    const ExportRequest& request = exportRequest;
    if (writing.options->format == ExportFormat::csv)
        writing.outcome = writeCsvFile(writing.file, writing.slots, writing.count, request, currentUnitSettings(),
                                       writing.cancel);
    else
        writing.outcome = writeExportFile(writing.file, writing.slots, writing.count, request, writing.cancel);
    writing.finished = true;
}

// Writes the downloaded slots; a stop signal meanwhile cancels the writer,
// which leaves the partial file for deletion here.
int writeDownload(const CliOptions& options, const StationRecord* slots, std::size_t count)
{
    std::FILE* file = std::fopen(options.output.c_str(), "wb");
    if (!file) {
        refuse(L"write file failed !");
        return EXPORT_EXIT_REFUSED;
    }
    Writing writing;
    writing.options = &options;
    writing.file = file;
    writing.slots = slots;
    writing.count = count;
    writing.outcome = ExportOutcome::failed;
    std::thread writer(writeFile, std::ref(writing));
    bool stopSent = false;
    while (!writing.finished) {
        if (sleepUnlessStopped(TICK_MS) && !stopSent) {
            writing.cancel = 1;
            sendCommand(CMD_STOP);
            stopSent = true;
        }
    }
    writer.join();
    if (writing.outcome == ExportOutcome::written)
        return EXPORT_EXIT_DONE;
    std::remove(options.output.c_str());
    if (writing.outcome == ExportOutcome::cancelled)
        return EXPORT_EXIT_STOPPED;
    refuse(L"write file failed !");
    return EXPORT_EXIT_REFUSED;
}

// Connects, asks for the history and waits for it. EXPORT_EXIT_DONE when
// every announced record has been counted.
int downloadHistory(Progress& progress)
{
    if (!waitFor([] { return deviceReady == 1; }, CONNECT_WAIT_MS)) {
        if (stopSignalled())
            return EXPORT_EXIT_STOPPED;
        refuse("No connection");
        return EXPORT_EXIT_REFUSED;
    }
    waitFor([] { return download.liveSeen.load(); }, FIRST_LIVE_WAIT_MS);
    if (stopSignalled())
        return EXPORT_EXIT_STOPPED;
    transferCancelled = 0;
    historyComplete = 0;
    if (sendCommand(CMD_READ_HISTORY) != 1) {
        refuse(L"Command send failed !");
        return EXPORT_EXIT_REFUSED;
    }
    while (!download.done) {
        if (sleepUnlessStopped(TICK_MS)) {
            transferCancelled = 1;
            sendCommand(CMD_STOP);
            endProgress(progress);
            return EXPORT_EXIT_STOPPED;
        }
        if (download.noHistory) {
            refuse(L"Not history data NOW!");
            return EXPORT_EXIT_REFUSED;
        }
        if (download.lost) {
            endProgress(progress);
            refuse("No connection");
            return EXPORT_EXIT_REFUSED;
        }
        // The console's refusal (a status report cancelling the
        // transfer) or a removal; a live observation would clear it again,
        // so it is looked at every tick.
        if (transferCancelled != 0) {
            endProgress(progress);
            refuse("the console stopped the transfer");
            return EXPORT_EXIT_REFUSED;
        }
        drawProgress(progress, download.received, download.total);
    }
    drawProgress(progress, download.received, download.total);
    endProgress(progress);
    return EXPORT_EXIT_DONE;
}

} // namespace

int runExport(const CliOptions& options)
{
    DateParts from{};
    DateParts to{};
    splitDateArgument(options.from.c_str(), from);
    splitDateArgument(options.to.c_str(), to);
    const ExportForm form = commandLineExportForm(options.wholePeriod, from, to, options.sets);
    const ExportCheck check = checkExportRequest(form, exportRequest);
    if (check != ExportCheck::accepted) {
        refuse(exportCheckMessage(check));
        return EXPORT_EXIT_REFUSED;
    }
    if (!setExportPath(options.output)) {
        refuse(L"File name error!");
        return EXPORT_EXIT_REFUSED;
    }
    if (!looksWritable(options.output)) {
        refuse(L"write file failed !");
        return EXPORT_EXIT_REFUSED;
    }
    // The store exists only while an export runs: the pages it is never
    // written to are never taken from the system.
    auto* slots = static_cast<StationRecord*>(std::calloc(HISTORY_SLOT_COUNT, sizeof(StationRecord)));
    if (!slots) {
        refuse(L"write file failed !");
        return EXPORT_EXIT_REFUSED;
    }
    Progress progress{isatty(STDERR_FILENO) == 1, false};
    int result = EXPORT_EXIT_REFUSED;
    if (!startStationLink(options.consolePath.c_str(), slots, HISTORY_SLOT_COUNT, exportPath,
                          LinkEvents{onConnection, onMessage, nullptr})) {
        refuse("cannot start the reader");
    } else {
        result = downloadHistory(progress);
        if (result == EXPORT_EXIT_DONE) {
            std::size_t count = historyTotal;
            if (count > HISTORY_SLOT_COUNT)
                count = HISTORY_SLOT_COUNT;
            result = writeDownload(options, slots, count);
        }
        stopStationLink();
    }
    exportPath[0] = L'\0';
    std::free(slots);
    return result;
}
