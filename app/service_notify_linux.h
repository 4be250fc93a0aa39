// The service's word to systemd (sd_notify; nothing at all outside a unit
// of Type=notify, where NOTIFY_SOCKET is not set): READY=1 once the archive
// is open and the reader started, the status line (service_status.h) as
// STATUS= whenever it changes but at most once a second, WATCHDOG=1 at half
// the unit's WatchdogSec=, and STOPPING=1 on the way out.
//
// The status board: the reader thread, the upload worker and the networks'
// delivery workers write what they saw here, under a lock, and the main thread sends it on.
#pragma once

#include "settings/network_config.h"
#include "upload/observation.h"
#include "upload/upload_log.h"
#include "upload/upload_state.h"

void noteConsoleConnection(bool connected);
void noteUploadResult(UploadService service, UploadOutcome outcome);
void noteNetworkResult(Network network, DeliveryVerdict verdict, long waiting);
// A history download under way (`total` 0 while the console has not said
// how many), or none.
void noteDownload(bool downloading, unsigned long received = 0, unsigned long total = 0);

// Rows in the archive, for the status line; main thread.
void noteArchiveRows(long consoleRecords, long liveObservations);

// The main thread's calls. keepSystemdTold pets the watchdog when it is due
// and sends a changed status line: cheap enough to call ten times a
// second, and called from every loop the main thread spends long in (its
// tick, a download), so only a wedged service stops petting.
void tellSystemdReady();
void keepSystemdTold();
void tellSystemdStopping();
