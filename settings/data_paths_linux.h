// Where the Linux program keeps its data, and the folders it makes for it.
#pragma once

#include <string>

#include "app/cli_options.h"
#include "settings/config_file.h"

// --archive=PATH, else the configuration's [archive] path, else
// $XDG_DATA_HOME/aerovane/archive.sqlite, else
// ~/.local/share/aerovane/archive.sqlite (./archive.sqlite without a home).
std::string archivePathFor(const CliOptions& options, const AppConfig& config);

// The archive's folder: others may pass through it to a report folder kept
// inside, never list it. The archive itself is 0640.
constexpr unsigned ARCHIVE_FOLDER_MODE = 0711;
// The report page's folder: a web server running as another user reads it.
constexpr unsigned REPORT_FOLDER_MODE = 0755;

// Makes `folder` and any missing folder above it, each with exactly `mode`
// whatever the umask (a service's UMask=0027 would shut the web server
// out). Folders already there keep theirs. 1 when it exists afterwards; 0
// with errno otherwise.
int makeFolders(const std::string& folder, unsigned mode);

// The folder part of a file path ("." for a bare name).
std::string folderOf(const std::string& path);
