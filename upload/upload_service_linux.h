// The service's uploads: the console's texts wrapped into the requests of
// the services switched on in the configuration, with the Windows program's
// request bytes, delivered one at a time by a worker thread with the same
// time-outs and attempts, the look-up and the connect bounded by them too.
// Per service only the newest text waits, and only while it is current
// (upload_queue.h). One line per upload result on stdout.
#pragma once

#include <cstdint>

#include "app/cli_options.h"
#include "settings/config_file.h"

// Tells on stderr which uploads are on and starts the worker.
void startUploads(const CliOptions& options, const AppConfig& config);

// A message of the reader: 0xFB and 0xF1 texts become requests.
void uploadOnMessage(unsigned message, std::intptr_t lParam);

// Stops the worker, giving an upload in flight a little time.
void stopUploads();
