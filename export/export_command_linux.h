// `aerovane export`: downloads the console's history and writes the chosen
// period and data sets to a file, the Windows program's UTF-16 file byte
// for byte, or CSV; with --from-archive the same from the archive, without
// the console. A progress bar shows on a terminal; Ctrl-C or SIGTERM
// sends CMD_STOP, deletes a partial file and exits non-zero. Refusals use
// the program's own texts on stderr.
#pragma once

#include "app/cli_options.h"
#include "settings/config_file.h"

// Exit codes.
constexpr int EXPORT_EXIT_DONE = 0;
constexpr int EXPORT_EXIT_REFUSED = 1;   // bad request, no console, no history, file not written
constexpr int EXPORT_EXIT_USAGE = 2;     // a date that does not exist, a period ending before it starts
constexpr int EXPORT_EXIT_STOPPED = 130; // Ctrl-C or SIGTERM, as a shell reports SIGINT

// From the console, or with --from-archive from the archive.
int runExport(const CliOptions& options, const AppConfig& config);
