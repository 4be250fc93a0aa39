#include "app/archive_keeper_linux.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "app/repeated_fault.h"
#include "app/service_log_linux.h"
#include "archive/archive.h"
#include "report/report_command_linux.h"
#include "settings/data_paths_linux.h"

namespace {

// Live observations wait here while the disk is slow; beyond this many the
// newest are dropped (and told) rather than memory grown without bound.
constexpr std::size_t LIVE_QUEUE_LIMIT = 1000;

void logLine(LogLevel level, const std::string& text)
{
    printServiceLog(level, "archive: " + text);
}

} // namespace

struct ArchiveKeeper::State {
    std::unique_ptr<Archive> archive;
    std::string reportFolder;
    UnitSettings units;
    std::mutex lock;
    std::condition_variable changed;
    std::deque<StationRecord> live;
    bool reportWanted = false;
    bool stopping = false;
    RepeatedFault liveDropped; // under `lock`
    // The rest belong to the thread.
    RepeatedFault liveNotStored;
    RepeatedFault reportNotWritten;
    RepeatedFault malformedDownloads;
    // A merge handed over by mergeDownload, and its result.
    const StationRecord* mergeSlots = nullptr;
    std::size_t mergeCount = 0;
    MergeCounts* mergeCounts = nullptr;
    bool mergeWaiting = false;
    int mergeResult = 0;
    // Why it failed, taken on this thread before the next write can fail.
    std::string mergeError;
    // Written by the thread, read by any.
    std::atomic<long> historyRows{0};
    std::atomic<long> liveRows{0};
    std::function<void()> onStored;
    std::thread thread;

    void work();
    void archiveNote(const std::string& text);
    void writeLive(const StationRecord& record);
    void merge();
    void writeReport();
};

void ArchiveKeeper::State::archiveNote(const std::string& text)
{
    logLine(LogLevel::warning, text);
}

void ArchiveKeeper::State::writeLive(const StationRecord& record)
{
    // A full disk fails every observation, one every few seconds.
    const LiveOutcome outcome = archive->storeLive(record.text, sizeof record.text);
    if (outcome == LiveOutcome::stored) {
        ++liveRows;
        if (onStored)
            onStored();
    }
    if (outcome == LiveOutcome::failed) {
        if (liveNotStored.happened())
            logLine(LogLevel::error,
                    "live observations are not being stored: " + archive->lastError() + liveNotStored.inARow());
    } else if (const unsigned long lost = liveNotStored.ended()) {
        logLine(LogLevel::info, "live observations are stored again; " + std::to_string(lost) + " were lost");
    }
}

void ArchiveKeeper::State::merge()
{
    const int result = archive->mergeHistory(mergeSlots, mergeCount, *mergeCounts);
    // Taken here, on the archive's thread, before anything else can fail.
    std::string why = result ? std::string() : archive->lastError();
    // Counted also when a later batch failed: the earlier ones are stored.
    historyRows += static_cast<long>(mergeCounts->added);
    if (mergeCounts->added > 0 && onStored)
        onStored();
    const unsigned long malformed = mergeCounts->malformed;
    // The console keeps a malformed record and sends it at every download:
    // the downloads that bring one are counted as a repeated fault.
    if (malformed > 0 && malformedDownloads.happened()) {
        std::string line = "refused a malformed record from the console (" + mergeCounts->firstMalformed + ")";
        if (malformed > 1)
            line += ", and " + std::to_string(malformed - 1) + " more in this download";
        logLine(LogLevel::warning, line + malformedDownloads.inARow());
    } else if (malformed == 0 && result != 0) {
        if (const unsigned long times = malformedDownloads.ended())
            logLine(LogLevel::info,
                    "a download without malformed records, after " + std::to_string(times) + " with some");
    }
    std::lock_guard<std::mutex> guard(lock);
    mergeResult = result;
    mergeError = std::move(why);
    mergeWaiting = false;
    changed.notify_all();
}

void ArchiveKeeper::State::writeReport()
{
    std::string error;
    if (!writeReportPage(*archive, reportFolder, units, error)) {
        if (reportNotWritten.happened())
            logLine(LogLevel::warning, "the report page was not written: " + error + reportNotWritten.inARow());
    } else if (const unsigned long times = reportNotWritten.ended()) {
        logLine(LogLevel::info, "the report page is written again, after failing " + timesText(times));
    }
}

void ArchiveKeeper::State::work()
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        changed.wait(guard, [&] { return stopping || !live.empty() || mergeWaiting || reportWanted; });
        if (!live.empty()) {
            const StationRecord record = live.front();
            live.pop_front();
            guard.unlock();
            writeLive(record);
            guard.lock();
        } else if (mergeWaiting) {
            // mergeDownload waits meanwhile: the request stays as it is.
            guard.unlock();
            merge();
            guard.lock();
        } else if (stopping) {
            return;
        } else if (reportWanted) {
            reportWanted = false;
            guard.unlock();
            writeReport();
            guard.lock();
        }
    }
}

ArchiveKeeper::~ArchiveKeeper()
{
    stop();
}

int ArchiveKeeper::start(const std::string& path, const std::string& reportFolder, const UnitSettings& units,
                         std::string& error)
{
    if (!makeFolders(folderOf(path), ARCHIVE_FOLDER_MODE)) {
        error = "cannot make the archive's folder " + folderOf(path) + ": " + std::strerror(errno);
        return 0;
    }
    auto archive = Archive::open(path, ArchiveAccess::write, error);
    if (!archive)
        return 0;
    state = new State;
    archive->setLog([s = state](const std::string& text) { s->archiveNote(text); });
    state->archive = std::move(archive);
    state->reportFolder = reportFolder;
    state->units = units;
    state->onStored = storedHook;
    // -1: not readable; the status line says 0 rather than nonsense.
    state->historyRows = std::max(0L, state->archive->countRows(RowSource::history));
    state->liveRows = std::max(0L, state->archive->countRows(RowSource::live));
    printProgramNote(LogLevel::info, "archive " + path + ": " + std::to_string(state->historyRows)
                                         + " records of the console, " + std::to_string(state->liveRows)
                                         + " live observations");
    if (!reportFolder.empty())
        printProgramNote(LogLevel::info, "report page " + reportFolder + "/" + REPORT_PAGE_NAME);
    state->thread = std::thread([s = state] { s->work(); });
    return 1;
}

void ArchiveKeeper::setOnStored(std::function<void()> onStored)
{
    storedHook = std::move(onStored);
}

void ArchiveKeeper::storeLive(const std::uint8_t* record)
{
    if (!state || !record)
        return;
    StationRecord copy{};
    // The assembly buffer holds the terminated line; its size is a record's.
    std::memcpy(copy.text, record, sizeof copy.text);
    copy.text[sizeof copy.text - 1] = '\0';
    std::string note;
    LogLevel level = LogLevel::info;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->live.size() >= LIVE_QUEUE_LIMIT) {
            if (state->liveDropped.happened()) {
                level = LogLevel::warning;
                note = "the disk is too slow: live observations are being dropped" + state->liveDropped.inARow();
            }
        } else {
            if (const unsigned long dropped = state->liveDropped.ended())
                note = "live observations are queued again; " + std::to_string(dropped) + " were dropped";
            state->live.push_back(copy);
        }
    }
    state->changed.notify_all();
    // Told outside the lock: the archive's thread must not wait on the log.
    if (!note.empty())
        logLine(level, note);
}

int ArchiveKeeper::mergeDownload(const StationRecord* slots, std::size_t count, MergeCounts& counts)
{
    if (!state)
        return 0;
    std::unique_lock<std::mutex> guard(state->lock);
    state->mergeSlots = slots;
    state->mergeCount = count;
    state->mergeCounts = &counts;
    state->mergeWaiting = true;
    state->changed.notify_all();
    state->changed.wait(guard, [&] { return !state->mergeWaiting; });
    if (state->mergeResult == 0)
        logLine(LogLevel::error, "the download was not merged completely: " + state->mergeError);
    return state->mergeResult;
}

long ArchiveKeeper::consoleRecords() const
{
    return state ? state->historyRows.load() : 0;
}

long ArchiveKeeper::liveObservations() const
{
    return state ? state->liveRows.load() : 0;
}

void ArchiveKeeper::refreshReport()
{
    if (!state || state->reportFolder.empty())
        return;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        state->reportWanted = true;
    }
    state->changed.notify_all();
}

void ArchiveKeeper::stop()
{
    if (!state)
        return;
    {
        std::lock_guard<std::mutex> guard(state->lock);
        state->stopping = true;
    }
    state->changed.notify_all();
    state->thread.join();
    delete state;
    state = nullptr;
}
