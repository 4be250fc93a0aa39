// Why Archive::open refused a file, for an exit code that tells a person
// what to do: another program writing it, or a schema newer than this
// program's, apart from every other refusal.
#pragma once

#include <string>

#include "archive/archive.h"

enum class ArchiveRefusal { other, inUse, newer };

// Looks again at the file that Archive::open(path, access) refused. A
// writer's refusal is `inUse` while another process holds the writer's
// lock; any refusal is `newer` when the file's schema version is above
// ARCHIVE_SCHEMA_VERSION. Only after a refusal: the look at the lock
// drops SQLite's locks of this process on the file.
ArchiveRefusal archiveRefusal(const std::string& path, ArchiveAccess access);
