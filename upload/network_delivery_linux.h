// The service's deliveries to the weather networks switched on in the
// configuration: one worker each (delivery_worker_linux.h), sharing the
// archive's outbox, over HTTPS (curl_transport_linux.h) or APRS-IS.
#pragma once

#include <string>

#include "settings/config_file.h"

// Starts a worker for each network that is on and has what it needs; says
// on the log which and why another is not started. The archive's writer
// must be open (it brought the file to the outbox's schema). 0 with a
// reason when the outbox cannot be opened.
int startNetworkDelivery(const std::string& archivePath, const AppConfig& config, std::string& error);

// The archive has stored observations: the workers look at once.
void ringNetworkDelivery();

// Holds the deliveries while the archive may have a gap the next history
// download fills (held from the start until released); any thread.
void holdNetworkDelivery(bool held);

// Ends each worker's request in flight within about a second, and the workers.
void stopNetworkDelivery();
