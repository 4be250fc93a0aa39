// The rounded outline drawn around a hidden group box, shared by the
// dashboard and the export & setup page.
#pragma once

#include <windows.h>

// Draws the frame of panel `panelId` of `page` on its paint DC in `colour`,
// with the panel's separator line (none for the setup page's panels).
// The channel, rain and index panels (1055, 1191, 1091) and the export
// panel (1109) reach down to the page's bottom.
void drawPanelFrame(HWND page, HDC dc, int panelId, COLORREF colour);
