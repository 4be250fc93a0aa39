// The service's archive: one thread owns the archive's only writing
// connection and does, in order, what the others hand it: live observations
// (from the reader thread, which must never wait on the disk), the merge of
// a finished download, and the report page's refresh. Notes go to the
// service's log on stdout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "readings/station_record.h"
#include "readings/units.h"

struct MergeCounts;

class ArchiveKeeper {
public:
    ArchiveKeeper() = default;
    ~ArchiveKeeper();
    ArchiveKeeper(const ArchiveKeeper&) = delete;
    ArchiveKeeper& operator=(const ArchiveKeeper&) = delete;

    // Opens (making its folder) or creates the archive and starts the
    // thread. `reportFolder` empty: no report page. 0 with a reason in
    // `error` when the archive cannot be used.
    int start(const std::string& path, const std::string& reportFolder, const UnitSettings& units,
              std::string& error);

    // Called on the archive's thread after observations were stored (the
    // networks' deliveries look at once). Set before start.
    void setOnStored(std::function<void()> onStored);

    // A live observation (the 0xFE assembly buffer); copied, never waits.
    void storeLive(const std::uint8_t* record);

    // Merges a download's slots and returns when they are in the archive
    // (or the merge failed: 0).
    int mergeDownload(const StationRecord* slots, std::size_t count, MergeCounts& counts);

    // Rows in the archive by source: counted at the start, then as they
    // are stored. Any thread.
    long consoleRecords() const;
    long liveObservations() const;

    // Asks for a fresh report page (nothing when none is configured).
    void refreshReport();

    // Finishes what was handed over and stops the thread.
    void stop();

private:
    struct State;
    State* state = nullptr;
    std::function<void()> storedHook;
};
