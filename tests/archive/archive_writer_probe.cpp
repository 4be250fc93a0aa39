// Merges batches of model records into an archive for ever, printing
// "committed N" (rows now stored) after each commit, until it is killed.
//   archive_writer_probe ARCHIVE
#include <cstdio>

#include "archive/archive.h"
#include "readings/record_time.h"
#include "tests/support/model_history.h"

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    std::string error;
    auto archive = Archive::open(argv[1], ArchiveAccess::write, error);
    if (!archive) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::int64_t first = minutesFromCivil({2025, 1, 1, 0, 0});
    constexpr std::size_t BATCH = 3 * MERGE_BATCH;
    for (;;) {
        const std::vector<StationRecord> records = modelHistory(first, BATCH, 1);
        MergeCounts counts{};
        if (!archive->mergeHistory(records.data(), records.size(), counts)) {
            std::fprintf(stderr, "%s\n", archive->lastError().c_str());
            return 1;
        }
        std::printf("committed %ld\n", archive->countRows(RowSource::history));
        std::fflush(stdout);
        first += static_cast<std::int64_t>(BATCH);
    }
}
