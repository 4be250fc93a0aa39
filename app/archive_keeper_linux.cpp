#include "app/archive_keeper_linux.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "app/service_log_linux.h"
#include "archive/archive.h"
#include "report/report_command_linux.h"
#include "settings/data_paths_linux.h"

namespace {

// Live observations wait here while the disk is slow; beyond this many the
// newest are dropped (and told) rather than memory grown without bound.
constexpr std::size_t LIVE_QUEUE_LIMIT = 1000;

void logLine(const std::string& text)
{
    printServiceLog("archive: " + text);
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
    unsigned long liveDropped = 0;
    unsigned long liveFailures = 0; // in a row
    // A merge handed over by mergeDownload, and its result.
    const StationRecord* mergeSlots = nullptr;
    std::size_t mergeCount = 0;
    MergeCounts* mergeCounts = nullptr;
    bool mergeWaiting = false;
    int mergeResult = 0;
    std::thread thread;

    void work();
    void writeLive(const StationRecord& record);
    void writeReport();
};

void ArchiveKeeper::State::writeLive(const StationRecord& record)
{
    // A full disk fails every observation: told when it starts and when it
    // ends, not every few seconds.
    if (archive->storeLive(record.text, sizeof record.text) == LiveOutcome::failed) {
        if (liveFailures++ == 0)
            logLine("live observations are not being stored: " + archive->lastError());
    } else if (liveFailures != 0) {
        logLine("live observations are stored again; " + std::to_string(liveFailures) + " were lost");
        liveFailures = 0;
    }
}

void ArchiveKeeper::State::writeReport()
{
    std::string error;
    if (!writeReportPage(*archive, reportFolder, units, error))
        logLine("the report page was not written: " + error);
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
            const StationRecord* slots = mergeSlots;
            const std::size_t count = mergeCount;
            MergeCounts* counts = mergeCounts;
            guard.unlock();
            const int result = archive->mergeHistory(slots, count, *counts);
            guard.lock();
            mergeResult = result;
            mergeWaiting = false;
            changed.notify_all();
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
    if (!makeFolders(folderOf(path))) {
        error = "cannot make the archive's folder " + folderOf(path) + ": " + std::strerror(errno);
        return 0;
    }
    auto archive = Archive::open(path, ArchiveAccess::write, error);
    if (!archive)
        return 0;
    archive->setLog(logLine);
    state = new State;
    state->archive = std::move(archive);
    state->reportFolder = reportFolder;
    state->units = units;
    std::fprintf(stderr, "aerovane: archive %s: %ld records of the console, %ld live observations\n", path.c_str(),
                 state->archive->countRows(RowSource::history), state->archive->countRows(RowSource::live));
    if (!reportFolder.empty())
        std::fprintf(stderr, "aerovane: report page %s/%s\n", reportFolder.c_str(), REPORT_PAGE_NAME);
    std::fflush(stderr);
    state->thread = std::thread([s = state] { s->work(); });
    return 1;
}

void ArchiveKeeper::storeLive(const std::uint8_t* record)
{
    if (!state || !record)
        return;
    StationRecord copy{};
    // The assembly buffer holds the terminated line; its size is a record's.
    std::memcpy(copy.text, record, sizeof copy.text);
    copy.text[sizeof copy.text - 1] = '\0';
    {
        std::lock_guard<std::mutex> guard(state->lock);
        if (state->live.size() >= LIVE_QUEUE_LIMIT) {
            if (state->liveDropped++ == 0)
                logLine("the disk is too slow: live observations are being dropped");
            return;
        }
        state->live.push_back(copy);
    }
    state->changed.notify_all();
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
        logLine("the download was not merged completely: " + state->archive->lastError());
    return state->mergeResult;
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
