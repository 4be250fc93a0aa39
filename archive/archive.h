// The station's archive: every observation the service has seen, in one
// SQLite file that grows for years. One row per observation time, pass
// and source: the console's stored records (history) and the live
// observations (at most one a minute, the first of each minute). The pass
// (fold) tells the two of the autumn night's repeated hour apart, and rows
// are read in the order they happened (sortTime). Each row keeps the
// console's own line, so an export can be rebuilt from it exactly, and its
// values in the console's units for queries (invalid readings are NULL).
//
// WAL journal, synchronous FULL (a committed row survives a power cut), one
// writer at a time (the others are told the file is in use), every write in
// a transaction. The schema is versioned by PRAGMA user_version and the
// schema_version table; each migration step and its bump commit together,
// and a file of a newer schema than this program knows is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>

#include "archive/archive_row.h"
#include "archive/repeated_hour.h"
#include "readings/station_record.h"

constexpr int ARCHIVE_SCHEMA_VERSION = 3;
// History is merged in transactions of this many records: a kill loses at
// most one unfinished batch, which the next download brings again.
constexpr std::size_t MERGE_BATCH = 2000;

enum class ArchiveAccess { write, read };
enum class RowSource : int { history = 1, live = 2 };

struct MergeCounts {
    unsigned long added;          // rows new to the archive
    unsigned long alreadyPresent; // the same line was stored (or set aside) before
    unsigned long setAside;       // a different reading of a time already stored
    unsigned long malformed;      // refused, not stored
    unsigned long empty;          // slots the download left empty
    std::string firstMalformed;   // why the first malformed record was refused
};

enum class LiveOutcome { stored, sameMinute, malformed, failed };

struct sqlite3;
struct sqlite3_stmt;

class Archive {
public:
    // Opens the file; `write` creates it (and its folder's last level is
    // not made: the caller makes folders) and brings its schema up to date.
    // Null with a one-line reason in `error` when it cannot be used.
    static std::unique_ptr<Archive> open(const std::string& path, ArchiveAccess access, std::string& error);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    // Where notes about refused and set-aside records go (one line each,
    // no newline). Default: nowhere.
    void setLog(std::function<void(const std::string&)> log);

    // One live observation (the console's assembly buffer). Malformed ones
    // are counted and told at the 1st, 10th, 100th...
    LiveOutcome storeLive(const char* text, std::size_t maxBytes);

    // A download's slots merged in order, MERGE_BATCH records per
    // transaction. Each record's pass is decided from the order (see
    // repeated_hour.h). A record whose time and pass are already stored
    // with the same line (in the repeated hour: at either pass) is skipped;
    // with a different line the stored row is kept, the new line goes to
    // set_aside and the log is told. Returns 0 when a write failed (the
    // batches before it are committed; counts say how far).
    int mergeHistory(const StationRecord* slots, std::size_t count, MergeCounts& counts);

    // Every observation time from `fromMinute` on, in the order they
    // happened, one row per time and pass (the console's record where there
    // is one, else the live
    // observation) with the values of `fields` (NaN where NULL; every
    // other field NaN too). Returns 0 on a read failure.
    int forEachObservation(std::int64_t fromMinute, const int* fields, std::size_t fieldCount,
                           const std::function<void(std::int64_t minute, const double* values)>& each);

    // The last observation's line (history preferred at equal times) not
    // later than `notAfterMinute`; 0 when there is none or the archive
    // could not be read.
    int latestObservation(StationRecord& record, std::int64_t& minute,
                          std::int64_t notAfterMinute = std::numeric_limits<std::int64_t>::max());

    // Rows per source, and set-aside lines.
    long countRows(RowSource source);
    long countSetAside();

    // Why the last failure failed. A copy, taken under a lock: another
    // thread may read it while the writing thread fails again.
    std::string lastError() const;

private:
    friend class RecordCursor;
    Archive() = default;
    int prepareStatements();
    int migrate();
    int execute(const char* sql);
    int insertRow(const ArchiveRow& row, const RowPass& pass, RowSource source, bool& inserted);
    int storedLineIs(const ArchiveRow& row, int fold, const RepeatedSpan& span, bool& same);
    int writeBeside(sqlite3_stmt* statement, const ArchiveRow& row, const char* what);
    void note(const std::string& text);
    void fail(const char* what);
    void setError(std::string text);

    sqlite3* db = nullptr;
    int lockFd = -1;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* storedLine = nullptr;
    sqlite3_stmt* setAside = nullptr;
    sqlite3_stmt* takeBack = nullptr;
    std::function<void(const std::string&)> log;
    mutable std::mutex errorLock;
    std::string error;
    unsigned long malformedLive = 0;
    unsigned long nextMalformedNote = 1;
    // The machine's zone rules tell the repeated hour.
    FoldTracker liveFolds{machineUtcOffset};
    bool liveFollowed = false;
};

// The console's records (history rows) with fromTime <= sortTime <= toTime,
// in the order they happened. The bounds are ISO texts compared as text, so
// "2026-01-01" to "2026-12-31T99" takes whole days; empty means open.
class RecordCursor {
public:
    RecordCursor(Archive& archive, const std::string& fromTime, const std::string& toTime);
    ~RecordCursor();
    RecordCursor(const RecordCursor&) = delete;
    RecordCursor& operator=(const RecordCursor&) = delete;
    // The next record, valid until the next call; null at the end or when
    // the file could not be read (failed() tells).
    const StationRecord* next();
    bool failed() const { return readFailed; }

private:
    sqlite3_stmt* statement = nullptr;
    StationRecord record;
    bool readFailed = false;
};
