// The dashboard page (dialog 101): the live observation, its captions in
// the user's language, and the hand-over point for the reader's messages.
#pragma once

#include <windows.h>

#include "readings/station_fields.h"

// The current observation as the console sent it, or the no-data dashes.
extern StationFields dashboardFields;

INT_PTR CALLBACK dashboardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the no-data texts ("--.-", "--", "-.-", empty direction) into
// dashboardFields; date, time and the four rain totals are left as they are.
void resetToPlaceholders();

// Sets the captions and titles from the table of the current language; the
// pressure caption follows the pressure type in use.
void applyDashboardLabels(HWND page);

// Shows the local time as the last data read and stores it ("Data").
void stampLastRead(HWND page);

// Invalidates the value areas without erasing.
void invalidateValueAreas(HWND page);
