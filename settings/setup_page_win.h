// The export & setup page (dialog 131): unit choices, the weather service
// with its station credentials, and the export panel.
#pragma once

#include <windows.h>

// Timers of the ten-minute upload checks, one per service.
constexpr UINT_PTR WU_CHECK_TIMER = 1;
constexpr UINT_PTR WC_CHECK_TIMER = 2;

// Room for a station id or key typed into edits 1207 and 1208.
constexpr int CREDENTIAL_EDIT_LIMIT = 64;

INT_PTR CALLBACK setupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Sets every label of the page from the table of the current language.
void applySetupLabels(HWND page);

// The console went away: uploading stops for both services. Hides the
// upload result (1015, 1029), clears Auto Upload (1215) and kills both
// check timers. The id and key edits keep their enabled state. The upload
// worker's per-service counters and flags are cleared here too once the
// worker exists.
void stopUploadsOnRemoval(HWND page);

// Shows the upload state of the selected service: Auto Upload and the
// result. Until the upload worker exists no service uploads, so the box is
// clear, both edits are enabled and no result shows.
void showServiceUploadState(HWND page);
