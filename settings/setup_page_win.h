// The export & setup page (dialog 131): unit choices, the weather service
// with its station credentials, and the export panel.
#pragma once

#include <windows.h>

#include "settings/upload_result.h" // WU_CHECK_TIMER, WC_CHECK_TIMER

// Room for a station id or key typed into edits 1207 and 1208.
constexpr int CREDENTIAL_EDIT_LIMIT = 64;

INT_PTR CALLBACK setupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Sets every label of the page from the table of the current language.
void applySetupLabels(HWND page);

// The console went away: uploading stops for both services. Hides the
// upload result (1015, 1029), clears Auto Upload (1215), kills both check
// timers and sets both services' UploadState to 0. The id and key edits
// keep their enabled state.
void stopUploadsOnRemoval(HWND page);

// Shows the upload state of the selected service: Auto Upload checked with
// the id and key edits disabled while it uploads, else cleared with both
// enabled; and its result (icon and text, or neither).
void showServiceUploadState(HWND page);
