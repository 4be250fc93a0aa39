// Drawing objects every dialog shares: the page colour and its brush, and
// the seven Arial fonts. The header bar creates them when it is initialised
// (it is the first child of the main window) and deletes them when it is
// destroyed; the other dialogs only borrow them.
#pragma once

#include <windows.h>

// COLOR_BTNHIGHLIGHT as read at creation, and a solid brush of it; the
// brush is null while the header bar does not exist.
extern COLORREF pageColour;
extern HBRUSH pageBrush;

extern HFONT TitleFont;     // 24, bold
extern HFONT CaptionFont;   // 22, normal
extern HFONT ValueFont;     // 36, 500
extern HFONT UnitFont;      // 25, 500
extern HFONT TabFont;       // 16, 600
extern HFONT CompassFont;   // 34, 500
extern HFONT SmallBoldFont; // 15, bold

// Arial, default character set, every other field of the logical font 0.
HFONT createArialFont(int height, int width, int weight);

// Reads pageColour, makes pageBrush, and creates each font that does not
// exist yet.
void createSharedDrawingObjects();
// Deletes the brush and the fonts and leaves their handles null.
void deleteSharedDrawingObjects();

// A control's window rectangle in its parent's client coordinates.
RECT controlRectInParent(HWND parent, HWND control);

// The answer of a dialog to WM_CTLCOLORDLG (and to statics that need no
// colour of their own): the page colour as background and pageBrush; 0
// (default handling) while the brush does not exist.
INT_PTR pageBackground(HDC dc);
// A static drawn on the page: transparent background, the given text
// colour, pageBrush (0 while the brush does not exist).
INT_PTR pageText(HDC dc, COLORREF textColour);
