// `aerovane run`: the service. Stays connected to the console (looking for
// it again while it is away), answers its clock requests, uploads to the
// configured weather services, stores every live observation in the
// archive, downloads the console's history at start and then daily and
// merges it into the archive, and refreshes the report page when one is
// configured. Ends cleanly on SIGTERM or Ctrl-C.
#pragma once

#include <cstdint>

#include "app/cli_options.h"
#include "settings/config_file.h"

// After a failed download (no console, a refusal) the next try comes this
// much later; after a good one, a day later.
constexpr int DOWNLOAD_RETRY_SECONDS = 3600;
constexpr int DOWNLOAD_EVERY_SECONDS = 24 * 3600;
// A console that went quiet in the middle of its history is given this
// long, then told to stop; what arrived whole is merged and the rest is
// asked for again this much later.
constexpr std::uint32_t SERVICE_HISTORY_QUIET_MS = 60000;
constexpr int DOWNLOAD_AFTER_QUIET_SECONDS = 30 * 60;

int runService(const CliOptions& options, const AppConfig& config);
