// The service's uploads: the console's texts wrapped into the requests of
// the services switched on in the configuration, with the Windows program's
// path and query, sent over HTTPS (upload_url.h) by a thread per service
// with the Windows program's attempts. Per service only the newest text
// waits, and only while it is current (upload_queue.h). One line per upload
// result on stdout; the last results are kept in the archive's outbox for
// `aerovane status`, and a refusal of the station's key stops the service's
// uploads until the configuration changes, across restarts too.
#pragma once

#include <cstdint>
#include <string>

#include "app/cli_options.h"
#include "settings/config_file.h"

// Tells on stderr which uploads are on and starts their workers. The
// archive's writer has brought the file to the current schema.
void startUploads(const CliOptions& options, const AppConfig& config, const std::string& archivePath);

// A message of the reader: 0xFB and 0xF1 texts become requests.
void uploadOnMessage(unsigned message, std::intptr_t lParam);

// Stops the workers; an upload in flight ends within about a second.
void stopUploads();
