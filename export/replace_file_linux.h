// A file that replaces another only once it is complete: written beside its
// destination under a temporary name and renamed over it at the end, so a
// failed, refused or interrupted write never deletes or truncates the file
// the user already had there.
#pragma once

#include <cstdio>
#include <string>

struct ReplacingFile {
    std::string destination;
    std::string temporary; // in the destination's folder, so the rename is atomic
};

// The new file's permission bits as a new file gets them, or the
// destination's when one exists.
constexpr int KEEP_DESTINATION_MODE = -1;

// Creates the temporary file with `mode` (or KEEP_DESTINATION_MODE) and
// opens it for writing in binary. Null, errno telling why, when it cannot
// be made.
std::FILE* createReplacing(const std::string& destination, ReplacingFile& file, int mode = KEEP_DESTINATION_MODE);

// The stream was written and closed: flushes the temporary file to the disk
// and renames it over the destination. False (the temporary file removed,
// the destination untouched, errno telling why) when that fails.
bool commitReplacing(const ReplacingFile& file);

// The write failed or was stopped: the temporary file goes.
void abandonReplacing(const ReplacingFile& file);
