// `aerovane live [--json]`: prints each live observation the console sends,
// in the configured units, one line each, until Ctrl-C or SIGTERM. Clock
// requests are answered with this machine's local time, as the Windows
// program answers them.
#pragma once

#include "app/cli_options.h"

// Returns the exit code: 0 after a stop signal.
int runLive(const CliOptions& options);
