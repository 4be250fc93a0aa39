#include "export/export_command_linux.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>

#include <unistd.h>

#include "app/exit_codes.h"
#include "app/stop_signal_linux.h"
#include "archive/archive.h"
#include "settings/data_paths_linux.h"
#include "export/export_csv.h"
#include "export/export_file.h"
#include "export/export_job.h"
#include "export/export_options.h"
#include "export/replace_file_linux.h"
#include "link/link_flags.h"
#include "link/messages.h"
#include "link/history_download_linux.h"
#include "link/station_link_linux.h"
#include "readings/text_output.h"
#include "readings/units.h"

namespace {

constexpr int TICK_MS = 100;
// How long a console that is not there yet is waited for.
constexpr int CONNECT_WAIT_MS = 5000;
constexpr int PROGRESS_BAR_WIDTH = 30;

HistoryDownload download;

void onMessage(void*, unsigned message, std::intptr_t lParam)
{
    noteDownloadMessage(download, message, lParam);
}

void onConnection(void*, bool present, const char*)
{
    noteDownloadConnection(download, present);
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

struct Writing {
    const CliOptions* options;
    std::FILE* file;
    ExportSource source;
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
        writing.outcome = writeCsvFile(writing.file, writing.source, request, currentUnitSettings(), writing.cancel);
    else
        writing.outcome = writeExportFile(writing.file, writing.source, request, writing.cancel);
    writing.finished = true;
}

// Writes the records of `source` beside the file asked for and puts them in
// its place only when complete; a stop signal meanwhile cancels the writer.
// A file already there survives anything but success. `failed` tells
// afterwards whether the source could not give all its records.
int writeRecords(const CliOptions& options, ExportSource source, bool (*failed)(void* context), bool console)
{
    ReplacingFile replacing;
    std::FILE* file = createReplacing(options.output, replacing);
    if (!file) {
        refuse(L"write file failed !");
        return EXIT_REFUSED;
    }
    Writing writing;
    writing.options = &options;
    writing.file = file;
    writing.source = source;
    writing.outcome = ExportOutcome::failed;
    std::thread writer(writeFile, std::ref(writing));
    bool stopSent = false;
    while (!writing.finished) {
        if (sleepUnlessStopped(TICK_MS) && !stopSent) {
            writing.cancel = 1;
            if (console)
                sendCommand(CMD_STOP);
            stopSent = true;
        }
    }
    writer.join();
    if (writing.outcome == ExportOutcome::written && failed && failed(source.context)) {
        abandonReplacing(replacing);
        refuse("the archive could not be read to its end; no file written");
        return EXIT_REFUSED;
    }
    if (writing.outcome == ExportOutcome::written) {
        if (commitReplacing(replacing))
            return EXIT_DONE;
        refuse(L"write file failed !");
        return EXIT_REFUSED;
    }
    abandonReplacing(replacing);
    if (writing.outcome == ExportOutcome::cancelled)
        return EXIT_STOPPED;
    refuse(L"write file failed !");
    return EXIT_REFUSED;
}

void showProgress(void* context, unsigned long received, unsigned long total)
{
    drawProgress(*static_cast<Progress*>(context), received, total);
}

// Records the console lost on the way (given up, or never sent whole) are
// not in the file, and the user is told so: the file is not the whole
// history. Stored records fill the slots from the first, so the lost ones
// are the empty slots at the end.
void tellLostRecords(const StationRecord* slots, std::size_t count)
{
    std::size_t lost = 0;
    for (std::size_t i = 0; i < count; ++i)
        lost += slots[i].text[0] == '\0';
    if (lost > 0)
        std::fprintf(stderr, "aerovane: %zu of %zu records were lost in the transfer and are not in the file\n", lost,
                     count);
}

// Connects, asks for the history and waits for it; tells why not.
int fetchHistory(Progress& progress)
{
    const DownloadResult result = downloadHistory(download, CONNECT_WAIT_MS, showProgress, &progress);
    endProgress(progress);
    switch (result) {
    case DownloadResult::done:
    case DownloadResult::wentQuiet: // the lost records are told with the file
        return EXIT_DONE;
    case DownloadResult::stopped:
        return EXIT_STOPPED;
    case DownloadResult::noConnection:
        refuse("No connection");
        break;
    case DownloadResult::consoleBusy:
        reportConsoleInUse();
        break;
    case DownloadResult::sendFailed:
        refuse(L"Command send failed !");
        break;
    case DownloadResult::noHistory:
        refuse(L"Not history data NOW!");
        break;
    case DownloadResult::consoleRefused:
        refuse("the console stopped the transfer");
        break;
    }
    return EXIT_REFUSED;
}

// The period as bounds on the archive's ISO times: whole days, both
// included; open for the whole period.
void archiveBounds(const ExportRequest& request, std::string& from, std::string& to)
{
    from.clear();
    to.clear();
    if (request.dataSets.wholePeriod)
        return;
    // The checked texts hold numbers; a year of up to 9999 keeps the ISO
    // text's order. compareDates decides the same way for any day.
    int y = 0, m = 0, d = 0;
    char text[32];
    if (std::swscanf(request.exportStartDate, L"%d-%d-%d", &y, &m, &d) == 3) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", y < 0 ? 0 : y > 9999 ? 9999 : y, m, d);
        from = text;
    }
    if (std::swscanf(request.exportEndDate, L"%d-%d-%d", &y, &m, &d) == 3) {
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT99", y < 0 ? 0 : y > 9999 ? 9999 : y, m, d);
        to = text;
    }
}

const StationRecord* nextArchived(void* context)
{
    return static_cast<RecordCursor*>(context)->next();
}

bool archiveFailed(void* context)
{
    return static_cast<RecordCursor*>(context)->failed();
}

int exportFromArchive(const CliOptions& options, const AppConfig& config)
{
    std::string error;
    const std::string path = archivePathFor(options, config);
    auto archive = Archive::open(path, ArchiveAccess::read, error);
    if (!archive) {
        refuse(error.c_str());
        return exitCodeFor(archiveRefusal(path, ArchiveAccess::read));
    }
    std::string from;
    std::string to;
    archiveBounds(exportRequest, from, to);
    RecordCursor cursor(*archive, from, to);
    return writeRecords(options, ExportSource{nextArchived, &cursor}, archiveFailed, false);
}

} // namespace

int runExport(const CliOptions& options, const AppConfig& config)
{
    DateParts from{};
    DateParts to{};
    splitDateArgument(options.from.c_str(), from);
    splitDateArgument(options.to.c_str(), to);
    const ExportForm form = commandLineExportForm(options.wholePeriod, from, to, options.sets);
    const ExportCheck check = checkExportRequest(form, exportRequest);
    if (check != ExportCheck::accepted) {
        refuse(exportCheckMessage(check));
        return EXIT_REFUSED;
    }
    // The page takes 2018-2-31 and a start after the end (and exports
    // nothing); typed on a command line they are mistakes worth saying.
    const PeriodCheck period = checkCommandLinePeriod(exportRequest);
    if (period == PeriodCheck::noSuchStartDate || period == PeriodCheck::noSuchEndDate) {
        const std::string& date = period == PeriodCheck::noSuchStartDate ? options.from : options.to;
        refuse(("there is no such day as " + date).c_str());
        return EXIT_USAGE;
    }
    if (period == PeriodCheck::endsBeforeStart) {
        refuse(("the period ends (" + options.to + ") before it starts (" + options.from + ")").c_str());
        return EXIT_USAGE;
    }
    if (!setExportPath(options.output)) {
        refuse(L"File name error!");
        return EXIT_REFUSED;
    }
    if (!looksWritable(options.output)) {
        refuse(L"write file failed !");
        return EXIT_REFUSED;
    }
    if (options.fromArchive) {
        const int result = exportFromArchive(options, config);
        exportPath[0] = L'\0';
        return result;
    }
    // The store exists only while an export runs: the pages it is never
    // written to are never taken from the system.
    auto* slots = static_cast<StationRecord*>(std::calloc(HISTORY_SLOT_COUNT, sizeof(StationRecord)));
    if (!slots) {
        refuse(L"write file failed !");
        return EXIT_REFUSED;
    }
    Progress progress{isatty(STDERR_FILENO) == 1, false};
    int result = EXIT_REFUSED;
    if (!startStationLink(options.consolePath.c_str(), slots, HISTORY_SLOT_COUNT, exportPath,
                          LinkEvents{onConnection, onMessage, nullptr})) {
        refuse("cannot start the reader");
    } else {
        result = fetchHistory(progress);
        if (result == EXIT_DONE) {
            std::size_t count = historyTotal;
            if (count > HISTORY_SLOT_COUNT)
                count = HISTORY_SLOT_COUNT;
            SlotSource source{slots, count, 0};
            result = writeRecords(options, slotExportSource(source), nullptr, true);
            if (result == EXIT_DONE)
                tellLostRecords(slots, count);
        }
        stopStationLink();
    }
    exportPath[0] = L'\0';
    std::free(slots);
    return result;
}
