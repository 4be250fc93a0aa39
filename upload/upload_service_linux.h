// `aerovane run`: the service. Stays connected to the console (looking for
// it again while it is away), answers its clock requests, and uploads the
// console's texts to the services switched on in the configuration, with
// the Windows program's request bytes, one request at a time, with the same
// time-outs and attempts. One line per upload result on stdout; connection
// changes on stderr. Ends cleanly on SIGTERM or Ctrl-C.
#pragma once

#include "app/cli_options.h"
#include "settings/config_file.h"

int runService(const CliOptions& options, const AppConfig& config);
