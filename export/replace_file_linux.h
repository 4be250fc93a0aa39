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

// Creates the temporary file (mode as a new file gets it, or the
// destination's mode when one exists) and opens it for writing in binary.
// Null when it cannot be made.
std::FILE* createReplacing(const std::string& destination, ReplacingFile& file);

// The stream was written and closed: flushes the temporary file to the disk
// and renames it over the destination. False (the temporary file removed,
// the destination untouched) when that fails.
bool commitReplacing(const ReplacingFile& file);

// The write failed or was stopped: the temporary file goes.
void abandonReplacing(const ReplacingFile& file);
