#include "archive/archive.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

#include "archive/observation_columns.h"
#include "archive/repeated_hour.h"
#include "readings/field_names.h"

namespace {

// A reader waits this long for a writer's checkpoint; the writer for a
// reader that holds the file.
constexpr int BUSY_TIMEOUT_MS = 5000;

// Version 1: observations, lines set aside, and the record of migrations.
// Observations are stored in time order (no rowid), so the report's scan
// of a year and an export read the file front to back.
std::string schemaVersion1()
{
    return "CREATE TABLE schema_version (version INTEGER PRIMARY KEY, applied TEXT NOT NULL);"
           "CREATE TABLE observation ("
           " time TEXT NOT NULL,"
           " source INTEGER NOT NULL CHECK (source IN (1, 2)),"
           " line TEXT NOT NULL,"
           " stored TEXT NOT NULL,"
           " " + valueColumns("", true) + ","
           " PRIMARY KEY (time, source)) WITHOUT ROWID;"
           "CREATE TABLE set_aside ("
           " time TEXT NOT NULL,"
           " source INTEGER NOT NULL,"
           " line TEXT NOT NULL,"
           " stored TEXT NOT NULL,"
           " UNIQUE (time, source, line));";
}

// Version 2: the autumn night's repeated hour. A row's pass (fold 0 or 1)
// joins its key, and rows are stored in the order of sortTime (see
// repeated_hour.h), which is the time itself for every row of version 1.
std::string schemaVersion2()
{
    return "CREATE TABLE observation_2 ("
           " time TEXT NOT NULL,"
           " fold INTEGER NOT NULL DEFAULT 0 CHECK (fold IN (0, 1)),"
           " sortTime TEXT NOT NULL,"
           " source INTEGER NOT NULL CHECK (source IN (1, 2)),"
           " line TEXT NOT NULL,"
           " stored TEXT NOT NULL,"
           " " + valueColumns("", true) + ","
           " PRIMARY KEY (sortTime, source)) WITHOUT ROWID;"
           "INSERT INTO observation_2 (time, fold, sortTime, source, line, stored, " + valueColumns("", false) + ")"
           " SELECT time, 0, time, source, line, stored, " + valueColumns("", false) + " FROM observation;"
           "DROP TABLE observation;"
           "ALTER TABLE observation_2 RENAME TO observation;";
}

// Version 3: the outbox. Per destination (its configuration section), the
// mark - the sortTime of the last observation delivered or passed over -
// and what `aerovane status` tells: the last accepted observation, the last
// refusal, the failures in a row and the next attempt (UTC seconds). A
// refusal stops the destination while its configuration's fingerprint is
// the one refused.
std::string schemaVersion3()
{
    return "CREATE TABLE outbox ("
           " destination TEXT PRIMARY KEY,"
           " mark TEXT NOT NULL DEFAULT '',"
           " lastSlot INTEGER NOT NULL DEFAULT -1,"
           " lastAccepted TEXT NOT NULL DEFAULT '',"
           " acceptedAt INTEGER NOT NULL DEFAULT 0,"
           " lastRefusal TEXT NOT NULL DEFAULT '',"
           " refusedAt INTEGER NOT NULL DEFAULT 0,"
           " refusedConfig TEXT NOT NULL DEFAULT '',"
           " failures INTEGER NOT NULL DEFAULT 0,"
           " nextAttempt INTEGER NOT NULL DEFAULT 0,"
           " lastFailure TEXT NOT NULL DEFAULT '') WITHOUT ROWID;";
}

// Migration n brings a file of version n - 1 to version n.
std::string migrationTo(int version)
{
    switch (version) {
    case 1:
        return schemaVersion1();
    case 2:
        return schemaVersion2();
    case 3:
        return schemaVersion3();
    default:
        return std::string();
    }
}

const char STORED_NOW[] = "strftime('%Y-%m-%dT%H:%M:%SZ','now')";

} // namespace

std::unique_ptr<Archive> Archive::open(const std::string& path, ArchiveAccess mode, std::string& error)
{
    std::unique_ptr<Archive> archive(new Archive);
    const bool writing = mode == ArchiveAccess::write;
    if (writing) {
        // One writer: a second service on the same file would merge every
        // download twice. The lock goes with the process, however it ends.
        archive->lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0640);
        if (archive->lockFd < 0) {
            error = "cannot open the archive " + path + ": " + std::strerror(errno);
            return nullptr;
        }
        if (flock(archive->lockFd, LOCK_EX | LOCK_NB) != 0) {
            error = "the archive " + path + " is in use by another aerovane run";
            return nullptr;
        }
    } else if (::access(path.c_str(), F_OK) != 0) {
        error = "no archive at " + path + " (aerovane run makes it)";
        return nullptr;
    }
    const int flags = writing ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &archive->db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error = "cannot open the archive " + path + ": " + sqlite3_errmsg(archive->db);
        return nullptr;
    }
    sqlite3_busy_timeout(archive->db, BUSY_TIMEOUT_MS);
    sqlite3_extended_result_codes(archive->db, 1);
    if (writing) {
        if (!archive->execute("PRAGMA journal_mode=WAL") || !archive->execute("PRAGMA synchronous=FULL")
            || !archive->migrate()) {
            error = "cannot use the archive " + path + ": " + archive->lastError();
            return nullptr;
        }
    } else {
        sqlite3_stmt* statement = nullptr;
        int version = -1;
        if (sqlite3_prepare_v2(archive->db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            version = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        if (version != ARCHIVE_SCHEMA_VERSION) {
            error = version < 0 ? "cannot read the archive " + path + ": " + sqlite3_errmsg(archive->db)
                  : version == 0 ? "the archive " + path + " holds no observations yet"
                  // A reader never writes: the service brings the file up to date when it starts.
                  : version < ARCHIVE_SCHEMA_VERSION
                      ? "the archive " + path + " has schema " + std::to_string(version)
                            + " of an older aerovane: start the service (aerovane run) once to bring it up to date"
                      : "the archive " + path + " has schema " + std::to_string(version)
                            + "; this aerovane reads schema " + std::to_string(ARCHIVE_SCHEMA_VERSION);
            return nullptr;
        }
    }
    if (!archive->prepareStatements()) {
        error = "cannot use the archive " + path + ": " + archive->lastError();
        return nullptr;
    }
    return archive;
}

Archive::~Archive()
{
    sqlite3_finalize(insert);
    sqlite3_finalize(storedLine);
    sqlite3_finalize(setAside);
    sqlite3_finalize(takeBack);
    if (db)
        sqlite3_close(db);
    // Closing any descriptor of the file drops SQLite's own POSIX locks on
    // it, so this one goes last.
    if (lockFd >= 0)
        ::close(lockFd);
}

void Archive::setLog(std::function<void(const std::string&)> logTo)
{
    log = std::move(logTo);
}

void Archive::note(const std::string& text)
{
    if (log)
        log(text);
}

std::string Archive::lastError() const
{
    std::lock_guard<std::mutex> guard(errorLock);
    return error;
}

void Archive::setError(std::string text)
{
    std::lock_guard<std::mutex> guard(errorLock);
    error = std::move(text);
}

void Archive::fail(const char* what)
{
    setError(std::string(what) + ": " + sqlite3_errmsg(db));
}

int Archive::execute(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        setError(message ? message : "unknown failure");
        sqlite3_free(message);
        return 0;
    }
    return 1;
}

int Archive::migrate()
{
    for (;;) {
        // The version is read inside the step's transaction, so two
        // programs starting at once cannot both apply one step.
        if (!execute("BEGIN IMMEDIATE"))
            return 0;
        sqlite3_stmt* statement = nullptr;
        int version = -1;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            version = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
        if (version == ARCHIVE_SCHEMA_VERSION)
            return execute("COMMIT");
        std::string step;
        if (version < 0) {
            fail("cannot read its schema version");
        } else if (version > ARCHIVE_SCHEMA_VERSION) {
            setError("it was written by a newer aerovane (schema " + std::to_string(version) + "; this one knows up to "
                     + std::to_string(ARCHIVE_SCHEMA_VERSION) + ")");
        } else {
            const int next = version + 1;
            step = migrationTo(next) + "INSERT INTO schema_version VALUES (" + std::to_string(next) + ", "
                 + STORED_NOW + ");PRAGMA user_version=" + std::to_string(next) + ";";
        }
        if (step.empty() || !execute(step.c_str()) || !execute("COMMIT")) {
            const std::string why = lastError();
            execute("ROLLBACK");
            setError(why);
            return 0;
        }
    }
}

int Archive::prepareStatements()
{
    std::string values = "?1, ?2, ?3, ?4, ?5, " + std::string(STORED_NOW);
    for (int f = 0, n = 6; f < static_cast<int>(STATION_FIELD_COUNT); ++f)
        if (!isKeyField(f))
            values += ", ?" + std::to_string(n++);
    const std::string insertSql = "INSERT INTO observation (time, fold, sortTime, source, line, stored, "
                                + valueColumns("", false) + ") VALUES (" + values
                                + ") ON CONFLICT (sortTime, source) DO NOTHING";
    const std::string setAsideSql =
        "INSERT INTO set_aside VALUES (?1, ?2, ?3, " + std::string(STORED_NOW) + ") ON CONFLICT DO NOTHING";
    // A reader never writes: its statements stay unprepared.
    if (sqlite3_db_readonly(db, "main") == 1)
        return 1;
    if (sqlite3_prepare_v2(db, insertSql.c_str(), -1, &insert, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db, "SELECT line FROM observation WHERE sortTime = ?1 AND source = ?2", -1,
                              &storedLine, nullptr)
               != SQLITE_OK
        || sqlite3_prepare_v2(db, setAsideSql.c_str(), -1, &setAside, nullptr) != SQLITE_OK
        || sqlite3_prepare_v2(db, "DELETE FROM set_aside WHERE time = ?1 AND source = ?2 AND line = ?3", -1,
                              &takeBack, nullptr)
               != SQLITE_OK) {
        fail("cannot prepare its statements");
        return 0;
    }
    return 1;
}

int Archive::insertRow(const ArchiveRow& row, const RowPass& pass, RowSource source, bool& inserted)
{
    char sortTime[SORT_TIME_SIZE];
    sortTimeText(row.time, pass.fold, pass.span, sortTime);
    sqlite3_reset(insert);
    sqlite3_bind_text(insert, 1, row.time, -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 2, pass.fold);
    sqlite3_bind_text(insert, 3, sortTime, -1, SQLITE_STATIC);
    sqlite3_bind_int(insert, 4, static_cast<int>(source));
    sqlite3_bind_text(insert, 5, row.line, static_cast<int>(row.lineLength), SQLITE_STATIC);
    for (int f = 0, n = 6; f < static_cast<int>(STATION_FIELD_COUNT); ++f) {
        if (isKeyField(f))
            continue;
        if (f == StationFields::windDirPoint) {
            if (row.windDirPoint[0] != '\0')
                sqlite3_bind_text(insert, n, row.windDirPoint, -1, SQLITE_STATIC);
            else
                sqlite3_bind_null(insert, n);
        } else if (!std::isnan(row.value[f])) {
            sqlite3_bind_double(insert, n, row.value[f]);
        } else {
            sqlite3_bind_null(insert, n);
        }
        ++n;
    }
    const int result = sqlite3_step(insert);
    sqlite3_reset(insert);
    if (result != SQLITE_DONE) {
        fail("cannot store an observation");
        return 0;
    }
    inserted = sqlite3_changes(db) == 1;
    return 1;
}

int Archive::storedLineIs(const ArchiveRow& row, int fold, const RepeatedSpan& span, bool& same)
{
    char sortTime[SORT_TIME_SIZE];
    sortTimeText(row.time, fold, span, sortTime);
    sqlite3_reset(storedLine);
    sqlite3_bind_text(storedLine, 1, sortTime, -1, SQLITE_STATIC);
    sqlite3_bind_int(storedLine, 2, static_cast<int>(RowSource::history));
    const int result = sqlite3_step(storedLine);
    same = false;
    if (result == SQLITE_ROW) {
        const auto* stored = static_cast<const char*>(sqlite3_column_blob(storedLine, 0));
        const auto storedLength = static_cast<std::size_t>(sqlite3_column_bytes(storedLine, 0));
        same = storedLength == row.lineLength && std::memcmp(stored, row.line, row.lineLength) == 0;
    }
    sqlite3_reset(storedLine);
    if (result != SQLITE_ROW && result != SQLITE_DONE) {
        fail("cannot read a stored observation");
        return 0;
    }
    return 1;
}

int Archive::writeBeside(sqlite3_stmt* statement, const ArchiveRow& row, const char* what)
{
    sqlite3_reset(statement);
    sqlite3_bind_text(statement, 1, row.time, -1, SQLITE_STATIC);
    sqlite3_bind_int(statement, 2, static_cast<int>(RowSource::history));
    sqlite3_bind_text(statement, 3, row.line, static_cast<int>(row.lineLength), SQLITE_STATIC);
    const int result = sqlite3_step(statement);
    sqlite3_reset(statement);
    if (result != SQLITE_DONE) {
        fail(what);
        return 0;
    }
    return 1;
}

LiveOutcome Archive::storeLive(const char* text, std::size_t maxBytes)
{
    ArchiveRow row;
    const char* reason = "";
    const RowVerdict verdict = readArchiveRow(text, maxBytes, row, reason);
    if (verdict != RowVerdict::accepted) {
        // A console that sends them keeps sending them: told at the 1st,
        // 10th, 100th... not every few seconds.
        ++malformedLive;
        if (malformedLive == nextMalformedNote) {
            nextMalformedNote *= 10;
            note("refused " + std::to_string(malformedLive) + " malformed live observation"
                 + (malformedLive == 1 ? "" : "s") + " so far (the last: "
                 + (verdict == RowVerdict::empty ? "empty" : reason) + ")");
        }
        return LiveOutcome::malformed;
    }
    if (!liveFollowed) {
        // The pass of the last live row stored, for a restart in the
        // repeated hour.
        sqlite3_stmt* statement = nullptr;
        std::int64_t lastMinute = 0;
        if (sqlite3_prepare_v2(db, "SELECT time, fold FROM observation WHERE source = 2 ORDER BY sortTime DESC LIMIT 1",
                               -1, &statement, nullptr)
                == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW
            && isoTimeMinutes(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), lastMinute))
            liveFolds.follow(lastMinute, sqlite3_column_int(statement, 1));
        sqlite3_finalize(statement);
        liveFollowed = true;
    }
    // One statement is its own transaction.
    bool inserted = false;
    if (!insertRow(row, liveFolds.next(row.minute), RowSource::live, inserted))
        return LiveOutcome::failed;
    return inserted ? LiveOutcome::stored : LiveOutcome::sameMinute;
}

int Archive::mergeHistory(const StationRecord* slots, std::size_t count, MergeCounts& counts)
{
    // Each download is the console's memory in its order, whatever came
    // before it.
    FoldTracker folds(machineUtcOffset);
    for (std::size_t start = 0; start < count; start += MERGE_BATCH) {
        const std::size_t end = count - start < MERGE_BATCH ? count : start + MERGE_BATCH;
        if (!execute("BEGIN IMMEDIATE"))
            return 0;
        MergeCounts batch{};
        bool ok = true;
        for (std::size_t i = start; i < end && ok; ++i) {
            ArchiveRow row;
            const char* reason = "";
            const RowVerdict verdict = readArchiveRow(slots[i].text, STATION_RECORD_SIZE, row, reason);
            if (verdict == RowVerdict::empty) {
                ++batch.empty;
                continue;
            }
            if (verdict == RowVerdict::malformed) {
                // Counted, not noted one by one: the caller tells a
                // download's malformed records in one line.
                if (batch.malformed++ == 0 && counts.malformed == 0)
                    batch.firstMalformed = reason;
                continue;
            }
            const RowPass pass = folds.next(row.minute);
            bool inserted = false;
            ok = insertRow(row, pass, RowSource::history, inserted);
            if (!ok)
                break;
            if (inserted) {
                ++batch.added;
                // A second pass an older aerovane set aside is one no more.
                if (pass.fold == 1)
                    ok = writeBeside(takeBack, row, "cannot take a record back from those set aside");
                continue;
            }
            bool same = false;
            ok = storedLineIs(row, pass.fold, pass.span, same);
            if (ok && !same && pass.repeated) {
                // The download began inside the repeated hour, with nothing
                // before it to tell the pass: the stored one says.
                ok = storedLineIs(row, 1 - pass.fold, pass.span, same);
                if (ok && same)
                    folds.follow(row.minute, 1 - pass.fold);
            }
            if (!ok)
                break;
            if (same) {
                ++batch.alreadyPresent;
                continue;
            }
            ok = writeBeside(setAside, row, "cannot set a record aside");
            if (!ok)
                break;
            if (sqlite3_changes(db) == 1) {
                ++batch.setAside;
                note(std::string("the console's record of ") + row.time
                     + " differs from the one archived; the archived one is kept, the new one set aside");
            } else {
                ++batch.alreadyPresent;
            }
        }
        if (!ok || !execute("COMMIT")) {
            const std::string why = lastError();
            execute("ROLLBACK");
            setError(why);
            return 0;
        }
        counts.added += batch.added;
        counts.alreadyPresent += batch.alreadyPresent;
        counts.setAside += batch.setAside;
        counts.malformed += batch.malformed;
        counts.empty += batch.empty;
        if (counts.firstMalformed.empty())
            counts.firstMalformed = batch.firstMalformed;
    }
    return 1;
}

namespace {

long countOf(sqlite3* db, const char* sql, int source)
{
    sqlite3_stmt* statement = nullptr;
    long count = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
        if (source != 0)
            sqlite3_bind_int(statement, 1, source);
        if (sqlite3_step(statement) == SQLITE_ROW)
            count = static_cast<long>(sqlite3_column_int64(statement, 0));
    }
    sqlite3_finalize(statement);
    return count;
}

} // namespace

long Archive::countRows(RowSource source)
{
    return countOf(db, "SELECT count(*) FROM observation WHERE source = ?1", static_cast<int>(source));
}

long Archive::countSetAside()
{
    return countOf(db, "SELECT count(*) FROM set_aside", 0);
}

int Archive::forEachObservation(std::int64_t fromMinute, const int* fields, std::size_t fieldCount,
                                const std::function<void(std::int64_t minute, const double* values)>& each)
{
    char fromTime[ISO_TIME_SIZE];
    isoTimeText(civilFromMinutes(fromMinute), fromTime);
    // Only the numbers asked for: a year of live observations is half a
    // million rows.
    std::string columns = "o.time";
    std::vector<int> read;
    for (std::size_t i = 0; i < fieldCount; ++i) {
        const int f = fields[i];
        if (f < 0 || f >= static_cast<int>(STATION_FIELD_COUNT) || isKeyField(f) || f == StationFields::windDirPoint)
            continue;
        columns += std::string(", o.") + stationFieldName(f);
        read.push_back(f);
    }
    const std::string sql = "SELECT " + columns + " " + OBSERVATIONS_SQL + " AND o.sortTime >= ?1 ORDER BY o.sortTime";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
        fail("cannot read observations");
        return 0;
    }
    sqlite3_bind_text(statement, 1, fromTime, -1, SQLITE_TRANSIENT);
    double values[STATION_FIELD_COUNT];
    for (double& value : values)
        value = NAN;
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        std::int64_t minute = 0;
        if (!isoTimeMinutes(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), minute))
            continue;
        for (std::size_t i = 0; i < read.size(); ++i) {
            const int column = static_cast<int>(i) + 1;
            values[read[i]] = sqlite3_column_type(statement, column) == SQLITE_NULL
                                ? NAN
                                : sqlite3_column_double(statement, column);
        }
        each(minute, values);
    }
    sqlite3_finalize(statement);
    if (result != SQLITE_DONE) {
        fail("cannot read observations");
        return 0;
    }
    return 1;
}

int Archive::latestObservation(StationRecord& record, std::int64_t& minute, std::int64_t notAfterMinute)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db,
                           "SELECT time, line FROM observation WHERE ?1 = '' OR time <= ?1"
                           " ORDER BY sortTime DESC, source ASC LIMIT 1",
                           -1, &statement, nullptr)
        != SQLITE_OK) {
        fail("cannot read observations");
        return 0;
    }
    char bound[ISO_TIME_SIZE] = "";
    if (notAfterMinute != std::numeric_limits<std::int64_t>::max())
        isoTimeText(civilFromMinutes(notAfterMinute), bound);
    sqlite3_bind_text(statement, 1, bound, -1, SQLITE_TRANSIENT);
    int found = 0;
    if (sqlite3_step(statement) == SQLITE_ROW
        && isoTimeMinutes(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)), minute)) {
        const auto* line = static_cast<const char*>(sqlite3_column_blob(statement, 1));
        found = recordFromLine(line, static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)), record);
    }
    sqlite3_finalize(statement);
    return found;
}

RecordCursor::RecordCursor(Archive& archive, const std::string& fromTime, const std::string& toTime)
{
    const char* sql = "SELECT line FROM observation WHERE source = 1 AND (?1 = '' OR sortTime >= ?1)"
                      " AND (?2 = '' OR sortTime <= ?2) ORDER BY sortTime";
    if (sqlite3_prepare_v2(archive.db, sql, -1, &statement, nullptr) != SQLITE_OK) {
        readFailed = true;
        return;
    }
    sqlite3_bind_text(statement, 1, fromTime.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, toTime.c_str(), -1, SQLITE_TRANSIENT);
}

RecordCursor::~RecordCursor()
{
    sqlite3_finalize(statement);
}

const StationRecord* RecordCursor::next()
{
    if (readFailed || !statement)
        return nullptr;
    const int result = sqlite3_step(statement);
    if (result == SQLITE_DONE) {
        sqlite3_finalize(statement);
        statement = nullptr;
        return nullptr;
    }
    const auto* line = static_cast<const char*>(sqlite3_column_blob(statement, 0));
    if (result != SQLITE_ROW
        || !recordFromLine(line, static_cast<std::size_t>(sqlite3_column_bytes(statement, 0)), record)) {
        readFailed = true;
        return nullptr;
    }
    return &record;
}
