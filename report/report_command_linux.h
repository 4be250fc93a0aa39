// `aerovane report -o DIR`: the report page written from the archive, and
// the same page refreshed by the service. The page goes to a temporary
// file in DIR first and is renamed over DIR/index.html, so a web server
// serving the folder never sends half a page.
#pragma once

#include <string>

#include "app/cli_options.h"
#include "readings/units.h"
#include "settings/config_file.h"

class Archive;

constexpr const char REPORT_PAGE_NAME[] = "index.html";

// Says whether the page is no longer wanted (Ctrl-C, SIGTERM).
using StopCheck = bool (*)();
constexpr const char REPORT_STOPPED[] = "stopped: the page was left as it was";

// Builds the page from the archive's last year and replaces
// folder/index.html (making the folder when missing). 1 when the new page
// is in place; 0 with a one-line reason in `error` (REPORT_STOPPED when
// `stopRequested` said so before the page was in place: the old one stays).
int writeReportPage(Archive& archive, const std::string& folder, const UnitSettings& units, std::string& error,
                    StopCheck stopRequested = nullptr);

int runReport(const CliOptions& options, const AppConfig& config);
