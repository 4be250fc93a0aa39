// The archive with a year of five-minute observations (105,120 records of
// the simulator's station): merging them (rows stored per second, and the
// file's size for a year), exporting the year from the archive, and
// building the report page from it. The direct download these stand
// against is measured from outside (bench/linux_program_bench.py): the
// console holds at most 60,000 records, sent at its own pace.
#include <cstdio>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "archive/archive.h"
#include "export/export_file.h"
#include "report/report_command_linux.h"
#include "tests/support/model_history.h"
#include "tests/support/whole_period_request.h"

namespace {

constexpr std::size_t YEAR_OF_FIVE_MINUTES = 365 * 288;

const std::vector<StationRecord>& yearOfRecords()
{
    static const std::vector<StationRecord> records =
        modelHistory(minutesFromCivil({2025, 12, 7, 0, 0}), YEAR_OF_FIVE_MINUTES, 5, 7, 30);
    return records;
}

std::string scratch(const char* name)
{
    return "/tmp/aerovane-archive-bench-" + std::to_string(getpid()) + "-" + name;
}

void removeArchive(const std::string& path)
{
    for (const char* suffix : {"", "-wal", "-shm"})
        std::remove((path + suffix).c_str());
}

long fileSize(const std::string& path)
{
    struct stat info{};
    return stat(path.c_str(), &info) == 0 ? static_cast<long>(info.st_size) : 0;
}

// A year merged into a fresh archive, as the service's first download of a
// full console would be (in the same transactions).
void BM_MergeYear(benchmark::State& state)
{
    const std::vector<StationRecord>& records = yearOfRecords();
    const std::string path = scratch("merge.sqlite");
    long bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        removeArchive(path);
        std::string error;
        auto archive = Archive::open(path, ArchiveAccess::write, error);
        if (!archive) {
            state.SkipWithError(error.c_str());
            return;
        }
        state.ResumeTiming();
        MergeCounts counts{};
        if (!archive->mergeHistory(records.data(), records.size(), counts) || counts.added != records.size()) {
            state.SkipWithError("merge failed");
            return;
        }
        state.PauseTiming();
        archive.reset(); // checkpoints the journal into the file
        bytes = fileSize(path);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(records.size()));
    state.counters["archive_MB"] = static_cast<double>(bytes) / 1e6;
    removeArchive(path);
}
BENCHMARK(BM_MergeYear)->Unit(benchmark::kMillisecond)->Iterations(2);

// A merged year, opened for reading, shared by the reading benchmarks.
Archive& yearArchive()
{
    static const std::string path = scratch("year.sqlite");
    static std::unique_ptr<Archive> reader = [] {
        removeArchive(path);
        std::string error;
        {
            auto writer = Archive::open(path, ArchiveAccess::write, error);
            MergeCounts counts{};
            if (writer)
                writer->mergeHistory(yearOfRecords().data(), yearOfRecords().size(), counts);
        }
        auto opened = Archive::open(path, ArchiveAccess::read, error);
        std::atexit([] { removeArchive(path); });
        return opened;
    }();
    return *reader;
}

const StationRecord* nextRecord(void* context)
{
    return static_cast<RecordCursor*>(context)->next();
}

void BM_ExportYearFromArchive(benchmark::State& state)
{
    Archive& archive = yearArchive();
    const std::string path = scratch("year.xls");
    const LinkFlag cancel{0};
    for (auto _ : state) {
        RecordCursor cursor(archive, "", "");
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (!file || writeExportFile(file, ExportSource{nextRecord, &cursor}, wholePeriodAllSets(), cancel)
                         != ExportOutcome::written) {
            state.SkipWithError("export failed");
            return;
        }
    }
    state.counters["file_MB"] = static_cast<double>(fileSize(path)) / 1e6;
    std::remove(path.c_str());
}
BENCHMARK(BM_ExportYearFromArchive)->Unit(benchmark::kMillisecond);

void BM_ReportPageOfAYear(benchmark::State& state)
{
    Archive& archive = yearArchive();
    const std::string folder = scratch("site");
    std::string error;
    for (auto _ : state) {
        if (!writeReportPage(archive, folder, DEFAULT_UNIT_SETTINGS, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["page_kB"] = static_cast<double>(fileSize(folder + "/index.html")) / 1e3;
    std::remove((folder + "/index.html").c_str());
    rmdir(folder.c_str());
}
BENCHMARK(BM_ReportPageOfAYear)->Unit(benchmark::kMillisecond);

} // namespace
