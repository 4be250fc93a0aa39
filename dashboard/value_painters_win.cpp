#include "dashboard/value_painters_win.h"

#include <cwchar>

#include "app/shared_drawing_win.h"

TextDrawing textDrawing = {DrawTextW, TextOutW};

namespace {

constexpr int UNIT_GAP = 8;
constexpr int DEGREE_SIGN_GAP = 2;
constexpr int MAX_BLANKS = 64;

void drawBlanks(HDC dc, const RECT& area, int count, UINT format)
{
    wchar_t blanks[MAX_BLANKS + 1];
    if (count > MAX_BLANKS)
        count = MAX_BLANKS;
    std::wmemset(blanks, L' ', count);
    blanks[count] = L'\0';
    RECT rect = area;
    textDrawing.drawText(dc, blanks, -1, &rect, format);
}

// Width and height of the text in the selected font.
SIZE measure(HDC dc, const wchar_t* text, UINT format)
{
    RECT rect{};
    textDrawing.drawText(dc, text, -1, &rect, format | DT_CALCRECT);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

// Blank run, text, and its measured size, in `font`.
SIZE drawText(HDC dc, HFONT font, const RECT& area, const ValueDisplay& display, UINT format)
{
    const HGDIOBJ previous = SelectObject(dc, font);
    SetTextColor(dc, VALUE_TEXT_COLOUR);
    drawBlanks(dc, area, display.blankCount, format);
    RECT rect = area;
    textDrawing.drawText(dc, display.text, -1, &rect, format);
    const SIZE size = measure(dc, display.text, format);
    SelectObject(dc, previous);
    return size;
}

void drawUnit(HDC dc, int x, int y, const wchar_t* unit)
{
    if (unit[0] == L'\0')
        return;
    const HGDIOBJ previous = SelectObject(dc, UnitFont);
    SetTextColor(dc, VALUE_TEXT_COLOUR);
    textDrawing.textOut(dc, x, y, unit, static_cast<int>(std::wcslen(unit)));
    SelectObject(dc, previous);
}

} // namespace

void drawValueWithUnit(HDC dc, const RECT& area, const ValueDisplay& display)
{
    if (!display.drawn)
        return;
    const SIZE text = drawText(dc, ValueFont, area, display, 0);
    drawUnit(dc, area.left + text.cx + UNIT_GAP, area.top + text.cy / 4, display.unit);
}

void drawCentredValue(HDC dc, const RECT& area, const ValueDisplay& display)
{
    if (!display.drawn)
        return;
    drawText(dc, ValueFont, area, display, DT_CENTER);
}

void drawDirectionValue(HDC dc, const RECT& area, const ValueDisplay& display, HBITMAP compass,
                        POINT origin)
{
    if (compass)
        drawTransparentBitmap(dc, compass, origin.x, origin.y, RGB(0, 0, 0));
    const SIZE text = drawText(dc, CompassFont, area, display, DT_CENTER);
    const int width = area.right - area.left;
    drawUnit(dc, area.left + width / 2 + text.cx / 2 + DEGREE_SIGN_GAP, area.top, display.unit);
}

void drawTransparentBitmap(HDC dc, HBITMAP bitmap, int x, int y, COLORREF key)
{
    BITMAP info{};
    if (!GetObjectW(bitmap, sizeof info, &info))
        return;
    HDC bitmapDc = CreateCompatibleDC(dc);
    const HGDIOBJ bitmapOld = SelectObject(bitmapDc, bitmap);
    SetMapMode(bitmapDc, GetMapMode(dc));
    POINT size = {info.bmWidth, info.bmHeight};
    DPtoLP(bitmapDc, &size, 1);
    const int w = size.x;
    const int h = size.y;

    HDC maskDc = CreateCompatibleDC(dc);
    HDC inverseDc = CreateCompatibleDC(dc);
    HDC workDc = CreateCompatibleDC(dc);
    HDC savedDc = CreateCompatibleDC(dc);
    HBITMAP mask = CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP inverse = CreateBitmap(w, h, 1, 1, nullptr);
    HBITMAP work = CreateCompatibleBitmap(dc, w, h);
    HBITMAP saved = CreateCompatibleBitmap(dc, w, h);
    const HGDIOBJ maskOld = SelectObject(maskDc, mask);
    const HGDIOBJ inverseOld = SelectObject(inverseDc, inverse);
    const HGDIOBJ workOld = SelectObject(workDc, work);
    const HGDIOBJ savedOld = SelectObject(savedDc, saved);

    BitBlt(savedDc, 0, 0, w, h, bitmapDc, 0, 0, SRCCOPY);
    // Colour to monochrome: pixels of the DC's background colour turn white.
    const COLORREF background = SetBkColor(bitmapDc, key);
    BitBlt(maskDc, 0, 0, w, h, bitmapDc, 0, 0, SRCCOPY);
    SetBkColor(bitmapDc, background);
    BitBlt(inverseDc, 0, 0, w, h, maskDc, 0, 0, NOTSRCCOPY);
    // The destination survives only where the key colour was; the bitmap
    // only where it was not; together they make the picture.
    BitBlt(workDc, 0, 0, w, h, dc, x, y, SRCCOPY);
    BitBlt(workDc, 0, 0, w, h, maskDc, 0, 0, SRCAND);
    BitBlt(bitmapDc, 0, 0, w, h, inverseDc, 0, 0, SRCAND);
    BitBlt(workDc, 0, 0, w, h, bitmapDc, 0, 0, SRCPAINT);
    BitBlt(dc, x, y, w, h, workDc, 0, 0, SRCCOPY);
    BitBlt(bitmapDc, 0, 0, w, h, savedDc, 0, 0, SRCCOPY);

    SelectObject(maskDc, maskOld);
    SelectObject(inverseDc, inverseOld);
    SelectObject(workDc, workOld);
    SelectObject(savedDc, savedOld);
    SelectObject(bitmapDc, bitmapOld);
    DeleteObject(mask);
    DeleteObject(inverse);
    DeleteObject(work);
    DeleteObject(saved);
    DeleteDC(maskDc);
    DeleteDC(inverseDc);
    DeleteDC(workDc);
    DeleteDC(savedDc);
    DeleteDC(bitmapDc);
}
