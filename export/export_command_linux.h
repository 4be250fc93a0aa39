// `aerovane export`: downloads the console's history and writes the chosen
// period and data sets to a file, the Windows program's UTF-16 file byte
// for byte, or CSV; with --from-archive the same from the archive, without
// the console. A progress bar shows on a terminal; Ctrl-C or SIGTERM
// sends CMD_STOP, deletes a partial file and exits non-zero. Refusals use
// the program's own texts on stderr.
#pragma once

#include "app/cli_options.h"
#include "settings/config_file.h"

// From the console, or with --from-archive from the archive. Exit codes
// (app/exit_codes.h): EXIT_REFUSED for a bad request, no console, no
// history or a file not written; EXIT_USAGE for a date that does not exist
// or a period ending before it starts; EXIT_STOPPED after Ctrl-C.
int runExport(const CliOptions& options, const AppConfig& config);
