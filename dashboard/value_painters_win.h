// Painting of the dashboard's values: each value in its area with the unit
// after it, the UV index centred, the wind direction over its compass
// picture, and the transparent blit the compass is drawn with.
#pragma once

#include <windows.h>

#include "dashboard/value_display.h"

// Text colour of every value and unit.
constexpr COLORREF VALUE_TEXT_COLOUR = 0x00919191;

// The two text calls the painters make, so a test can record what was drawn
// where while the real drawing still happens. DrawTextW and TextOutW unless
// replaced.
struct TextDrawing {
    int(WINAPI* drawText)(HDC dc, LPCWSTR text, int length, LPRECT rect, UINT format);
    BOOL(WINAPI* textOut)(HDC dc, int x, int y, LPCWSTR text, int length);
};
extern TextDrawing textDrawing;

// The painters rely on the paint DC's defaults: an opaque white background,
// so the blank run clears the previous text in the area and the unit is
// drawn on a white band.
//
// The common scheme (temperature, humidity, channel, pressure, wind, rain,
// rain rate): in ValueFont the blank run, then the text at the area's top
// left; in UnitFont the unit 8 pixels after the text's measured width and a
// quarter of its height below the area's top. Draws nothing when the
// display says so.
void drawValueWithUnit(HDC dc, const RECT& area, const ValueDisplay& display);

// The UV index: the blank run and the text centred in ValueFont, no unit.
void drawCentredValue(HDC dc, const RECT& area, const ValueDisplay& display);

// The wind direction: the compass bitmap at `origin` with black as the
// transparent colour (skipped when the bitmap is null), then in CompassFont
// the blank run and the text centred in the area, then in UnitFont the
// degree sign, if the display has one, 2 pixels right of the text's end at
// the area's top.
void drawDirectionValue(HDC dc, const RECT& area, const ValueDisplay& display, HBITMAP compass,
                        POINT origin);

// Draws `bitmap` at (x, y) with every pixel of `key` left transparent, and
// leaves the bitmap as it was. Creates and deletes its DCs and work bitmaps
// on every call.
void drawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, COLORREF key);
