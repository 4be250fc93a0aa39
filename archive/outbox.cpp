#include "archive/outbox.h"

#include <cmath>

#include <sqlite3.h>

#include "archive/observation_columns.h"
#include "archive/repeated_hour.h"
#include "readings/field_names.h"
#include "readings/record_time.h"

namespace {

constexpr int BUSY_TIMEOUT_MS = 10000;

const char ENTRY_COLUMNS[] = "destination, mark, lastSlot, lastAccepted, acceptedAt, lastRefusal, refusedAt,"
                             " refusedConfig, failures, nextAttempt, lastFailure";

std::string textAt(sqlite3_stmt* statement, int column)
{
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char*>(text) : "";
}

OutboxEntry entryOf(sqlite3_stmt* statement)
{
    OutboxEntry entry;
    entry.destination = textAt(statement, 0);
    entry.mark = textAt(statement, 1);
    entry.lastSlot = sqlite3_column_int64(statement, 2);
    entry.lastAccepted = textAt(statement, 3);
    entry.acceptedAt = sqlite3_column_int64(statement, 4);
    entry.lastRefusal = textAt(statement, 5);
    entry.refusedAt = sqlite3_column_int64(statement, 6);
    entry.refusedConfig = textAt(statement, 7);
    entry.failures = sqlite3_column_int(statement, 8);
    entry.nextAttempt = sqlite3_column_int64(statement, 9);
    entry.lastFailure = textAt(statement, 10);
    return entry;
}

} // namespace

std::unique_ptr<Outbox> Outbox::open(const std::string& path, ArchiveAccess access, std::string& error)
{
    std::unique_ptr<Outbox> outbox(new Outbox);
    const int flags = access == ArchiveAccess::write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.c_str(), &outbox->db, flags | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        error = "cannot open the archive " + path + ": " + sqlite3_errmsg(outbox->db);
        return nullptr;
    }
    sqlite3_busy_timeout(outbox->db, BUSY_TIMEOUT_MS);
    sqlite3_extended_result_codes(outbox->db, 1);
    // A catch-up reads the archive forward once; SQLite's default cache
    // (2 MB) would stay filled with what it read for the service's life.
    sqlite3_exec(outbox->db, "PRAGMA cache_size=-256", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    int version = -1;
    if (sqlite3_prepare_v2(outbox->db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK
        && sqlite3_step(statement) == SQLITE_ROW)
        version = sqlite3_column_int(statement, 0);
    sqlite3_finalize(statement);
    if (version != ARCHIVE_SCHEMA_VERSION) {
        error = "the archive " + path + " has schema " + std::to_string(version) + ", not "
              + std::to_string(ARCHIVE_SCHEMA_VERSION) + " (start the service, aerovane run, once)";
        return nullptr;
    }
    if (access == ArchiveAccess::write && (sqlite3_exec(outbox->db, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr) != SQLITE_OK)) {
        error = "cannot use the archive " + path + ": " + sqlite3_errmsg(outbox->db);
        return nullptr;
    }
    return outbox;
}

Outbox::~Outbox()
{
    sqlite3_close_v2(db);
}

int Outbox::fail(const char* what)
{
    error = std::string(what) + ": " + sqlite3_errmsg(db);
    return 0;
}

std::string Outbox::lastError() const
{
    std::lock_guard<std::mutex> hold(lock);
    return error;
}

int Outbox::load(std::string destination, OutboxEntry& entry)
{
    std::lock_guard<std::mutex> hold(lock);
    const std::string sql = std::string("SELECT ") + ENTRY_COLUMNS + " FROM outbox WHERE destination = ?1";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return fail("cannot read the outbox");
    sqlite3_bind_text(statement, 1, destination.c_str(), -1, SQLITE_TRANSIENT);
    const int result = sqlite3_step(statement);
    if (result == SQLITE_ROW) {
        entry = entryOf(statement);
    } else {
        entry = OutboxEntry{};
        entry.destination = destination;
    }
    sqlite3_finalize(statement);
    return result == SQLITE_ROW || result == SQLITE_DONE ? 1 : fail("cannot read the outbox");
}

int Outbox::loadAll(std::vector<OutboxEntry>& entries)
{
    std::lock_guard<std::mutex> hold(lock);
    entries.clear();
    const std::string sql = std::string("SELECT ") + ENTRY_COLUMNS + " FROM outbox ORDER BY destination";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return fail("cannot read the outbox");
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW)
        entries.push_back(entryOf(statement));
    sqlite3_finalize(statement);
    return result == SQLITE_DONE ? 1 : fail("cannot read the outbox");
}

int Outbox::save(const OutboxEntry& entry)
{
    std::lock_guard<std::mutex> hold(lock);
    const std::string sql = std::string("INSERT OR REPLACE INTO outbox (") + ENTRY_COLUMNS
                          + ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return fail("cannot write the outbox");
    sqlite3_bind_text(statement, 1, entry.destination.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(statement, 2, entry.mark.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 3, entry.lastSlot);
    sqlite3_bind_text(statement, 4, entry.lastAccepted.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 5, entry.acceptedAt);
    sqlite3_bind_text(statement, 6, entry.lastRefusal.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 7, entry.refusedAt);
    sqlite3_bind_text(statement, 8, entry.refusedConfig.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(statement, 9, entry.failures);
    sqlite3_bind_int64(statement, 10, entry.nextAttempt);
    sqlite3_bind_text(statement, 11, entry.lastFailure.c_str(), -1, SQLITE_TRANSIENT);
    const int result = sqlite3_step(statement);
    sqlite3_finalize(statement);
    return result == SQLITE_DONE ? 1 : fail("cannot write the outbox");
}

int Outbox::observationsAfter(std::string mark, std::size_t limit, std::vector<OutboxObservation>& out,
                              bool& more)
{
    std::lock_guard<std::mutex> hold(lock);
    out.clear();
    more = false;
    std::vector<int> read;
    std::string columns = "o.sortTime, o.time, o.fold";
    for (int f = 0; f < static_cast<int>(STATION_FIELD_COUNT); ++f) {
        if (isKeyField(f) || f == StationFields::windDirPoint)
            continue;
        columns += std::string(", o.") + stationFieldName(f);
        read.push_back(f);
    }
    const std::string sql =
        "SELECT " + columns + " " + OBSERVATIONS_SQL + " AND o.sortTime > ?1 ORDER BY o.sortTime LIMIT ?2";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return fail("cannot read observations");
    sqlite3_bind_text(statement, 1, mark.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(statement, 2, static_cast<sqlite3_int64>(limit) + 1);
    int result = SQLITE_ROW;
    while ((result = sqlite3_step(statement)) == SQLITE_ROW) {
        if (out.size() == limit) {
            more = true;
            continue;
        }
        OutboxObservation row;
        row.sortTime = textAt(statement, 0);
        row.time = textAt(statement, 1);
        std::int64_t minute = 0;
        if (!isoTimeMinutes(row.time.c_str(), minute))
            continue;
        row.observation.utcSecond = utcSecondOf(minute, sqlite3_column_int(statement, 2), machineUtcOffset);
        for (double& value : row.observation.value)
            value = NAN;
        for (std::size_t i = 0; i < read.size(); ++i) {
            const int column = static_cast<int>(i) + 3;
            if (sqlite3_column_type(statement, column) != SQLITE_NULL)
                row.observation.value[read[i]] = sqlite3_column_double(statement, column);
        }
        out.push_back(row);
    }
    sqlite3_finalize(statement);
    return result == SQLITE_DONE ? 1 : fail("cannot read observations");
}

long Outbox::countAfter(const std::string& mark)
{
    std::lock_guard<std::mutex> hold(lock);
    const std::string sql = std::string("SELECT count(*) ") + OBSERVATIONS_SQL + " AND o.sortTime > ?1";
    sqlite3_stmt* statement = nullptr;
    long count = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(statement, 1, mark.c_str(), -1, SQLITE_TRANSIENT);
        if (sqlite3_step(statement) == SQLITE_ROW)
            count = static_cast<long>(sqlite3_column_int64(statement, 0));
    }
    sqlite3_finalize(statement);
    if (count < 0)
        fail("cannot count observations");
    return count;
}
