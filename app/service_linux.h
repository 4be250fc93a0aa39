// `aerovane run`: the service. Stays connected to the console (looking for
// it again while it is away), answers its clock requests, uploads to the
// configured weather services, stores every live observation in the
// archive, downloads the console's history at start and then daily and
// merges it into the archive, and refreshes the report page when one is
// configured. Ends cleanly on SIGTERM or Ctrl-C.
#pragma once

#include "app/cli_options.h"
#include "settings/config_file.h"

// After a failed download (no console, a refusal) the next try comes this
// much later; after a good one, a day later.
constexpr int DOWNLOAD_RETRY_SECONDS = 3600;
constexpr int DOWNLOAD_EVERY_SECONDS = 24 * 3600;

int runService(const CliOptions& options, const AppConfig& config);
