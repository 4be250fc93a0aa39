#include "app/shared_drawing_win.h"

#include <cwchar>

COLORREF pageColour = 0;
HBRUSH pageBrush = nullptr;

HFONT TitleFont = nullptr;
HFONT CaptionFont = nullptr;
HFONT ValueFont = nullptr;
HFONT UnitFont = nullptr;
HFONT TabFont = nullptr;
HFONT CompassFont = nullptr;
HFONT SmallBoldFont = nullptr;

namespace {

struct SharedFont {
    HFONT* font;
    int height;
    int weight;
};

const SharedFont SHARED_FONTS[] = {
    {&TitleFont, 24, FW_BOLD},   {&CaptionFont, 22, FW_NORMAL}, {&ValueFont, 36, FW_MEDIUM},
    {&UnitFont, 25, FW_MEDIUM},  {&TabFont, 16, FW_SEMIBOLD},   {&CompassFont, 34, FW_MEDIUM},
    {&SmallBoldFont, 15, FW_BOLD},
};

} // namespace

HFONT createArialFont(int height, int width, int weight)
{
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWidth = width;
    font.lfWeight = weight;
    font.lfCharSet = DEFAULT_CHARSET;
    std::wcscpy(font.lfFaceName, L"Arial");
    return CreateFontIndirectW(&font);
}

void createSharedDrawingObjects()
{
    pageColour = GetSysColor(COLOR_BTNHIGHLIGHT);
    if (!pageBrush)
        pageBrush = CreateSolidBrush(pageColour);
    for (const SharedFont& shared : SHARED_FONTS)
        if (!*shared.font)
            *shared.font = createArialFont(shared.height, 0, shared.weight);
}

void deleteSharedDrawingObjects()
{
    if (pageBrush)
        DeleteObject(pageBrush);
    pageBrush = nullptr;
    for (const SharedFont& shared : SHARED_FONTS) {
        if (*shared.font)
            DeleteObject(*shared.font);
        *shared.font = nullptr;
    }
}

RECT controlRectInParent(HWND parent, HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

INT_PTR pageBackground(HDC dc)
{
    if (!pageBrush)
        return 0;
    SetBkColor(dc, pageColour);
    return reinterpret_cast<INT_PTR>(pageBrush);
}

INT_PTR pageText(HDC dc, COLORREF textColour)
{
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour);
    return reinterpret_cast<INT_PTR>(pageBrush);
}
