#include "archive/archive_refusal.h"

#include <cerrno>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Archive::open holds this lock for as long as a writer has the file.
bool lockedByAnother(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool locked = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

int schemaVersion(const std::string& path)
{
    sqlite3* db = nullptr;
    int version = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 1000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            version = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return version;
}

} // namespace

ArchiveRefusal archiveRefusal(const std::string& path, ArchiveAccess access)
{
    if (access == ArchiveAccess::write && lockedByAnother(path))
        return ArchiveRefusal::inUse;
    if (::access(path.c_str(), F_OK) == 0 && schemaVersion(path) > ARCHIVE_SCHEMA_VERSION)
        return ArchiveRefusal::newer;
    return ArchiveRefusal::other;
}
