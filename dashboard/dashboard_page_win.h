// The dashboard page (dialog 101): the live observation, its captions in
// the user's language, and the hand-over point for the reader's messages.
#pragma once

#include <windows.h>

#include "readings/station_fields.h"

// The current observation as the console sent it, or the no-data dashes.
extern StationFields dashboardFields;

// The extra sensor channel shown, 1..7; 1 at every start, never stored.
extern int selectedChannel;

// Where the compass picture is drawn in the page and its size (that of the
// first pointer bitmap): centred on the direction text, one pixel right and
// two up.
extern POINT compassOrigin;
extern SIZE compassSize;

// Icons 183 (upload accepted) and 182 (upload failed), loaded by the page
// for the export & setup page.
extern HICON uploadDoneIcon;
extern HICON uploadFailedIcon;

INT_PTR CALLBACK dashboardPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Writes the no-data texts ("--.-", "--", "-.-", empty direction) into
// dashboardFields; date, time and the four rain totals are left as they are.
void resetToPlaceholders();

// Sets the captions and titles from the table of the current language; the
// pressure caption follows the pressure type in use. The channel title
// keeps its number.
void applyDashboardLabels(HWND page);

// Shows the local time as the last data read and stores it ("Data").
void stampLastRead(HWND page);

// Invalidates the fifteen value areas and the compass without erasing, so
// a new observation repaints only those.
void invalidateValueAreas(HWND page);

// Everything WM_PAINT draws: the six panel frames, then the fifteen values
// and the compass, in the page's client coordinates.
void paintDashboard(HWND page, HDC dc);
