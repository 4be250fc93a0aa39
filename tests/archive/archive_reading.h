// What the archive tests open an archive with and read back from it.
#pragma once

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive.h"

inline std::unique_ptr<Archive> openForWriting(const std::string& path)
{
    std::string error;
    auto archive = Archive::open(path, ArchiveAccess::write, error);
    EXPECT_TRUE(archive) << error;
    return archive;
}

// The console's records as an export reads them.
inline std::vector<std::string> storedLines(Archive& archive, const std::string& from = "",
                                            const std::string& to = "")
{
    std::vector<std::string> lines;
    RecordCursor cursor(archive, from, to);
    while (const StationRecord* record = cursor.next())
        lines.emplace_back(record->text);
    EXPECT_FALSE(cursor.failed());
    return lines;
}

inline std::vector<std::string> linesOf(const std::vector<StationRecord>& records, std::size_t first = 0,
                                        std::size_t end = SIZE_MAX)
{
    std::vector<std::string> lines;
    for (std::size_t i = first; i < records.size() && i < end; ++i)
        lines.emplace_back(records[i].text);
    return lines;
}

// A connection of the test's own, outside the code under test.
struct RawDatabase {
    explicit RawDatabase(const std::string& path) { sqlite3_open(path.c_str(), &db); }
    ~RawDatabase() { sqlite3_close(db); }
    std::string text(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        std::string result = "(error)";
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK) {
            const int step = sqlite3_step(statement);
            if (step == SQLITE_ROW)
                result = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
            else if (step == SQLITE_DONE)
                result = "(none)";
        }
        sqlite3_finalize(statement);
        return result;
    }
    sqlite3* db = nullptr;
};
