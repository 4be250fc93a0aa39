// Finding and reading the configuration file on Linux.
#pragma once

#include <string>

#include "settings/config_file.h"

// The file used when --config is not given: $XDG_CONFIG_HOME/aerovane/
// aerovane.conf (or ~/.config/aerovane/aerovane.conf) when it exists, else
// /etc/aerovane.conf when that exists, else empty (built-in settings).
std::string defaultConfigPath();

// Reads `path` (empty: defaultConfigPath()) into `config`. A malformed line
// is told on stderr with the file name and line number and the result is
// 0: the program does not start. A file given with --config must exist. A
// file that holds a key and may be read by every user (not only its owner
// and group) gets a warning on stderr.
int loadConfig(const std::string& path, bool givenOnCommandLine, AppConfig& config);
