// Where the Linux program keeps its data, and the folders it makes for it.
#pragma once

#include <string>

#include "app/cli_options.h"
#include "settings/config_file.h"

// --archive=PATH, else the configuration's [archive] path, else
// $XDG_DATA_HOME/aerovane/archive.sqlite, else
// ~/.local/share/aerovane/archive.sqlite (./archive.sqlite without a home).
std::string archivePathFor(const CliOptions& options, const AppConfig& config);

// Makes `folder` and any missing folder above it (mode 0755 as umask
// allows). 1 when it exists afterwards; 0 with errno otherwise.
int makeFolders(const std::string& folder);

// The folder part of a file path ("." for a bare name).
std::string folderOf(const std::string& path);
