#include "tests/support/arial_metrics_win.h"

#include <windows.h>

#include <cstdlib>
#include <sstream>

#include "app/shared_drawing_win.h"

namespace {

// Arial's advance widths and line height in units of its 2048-unit em;
// Liberation Sans has the same. A wider face shows in any of them.
struct Advance {
    wchar_t character;
    int units;
};
constexpr Advance ARIAL_ADVANCES[] = {{L' ', 569}, {L'a', 1139}, {L'i', 455}, {L'm', 1706}, {L'W', 1933}};
constexpr int ARIAL_LINE_HEIGHT = 1854 + 434; // ascent + descent
constexpr int EM = 2048;

} // namespace

void ArialMetricsCheck::SetUp()
{
    // An em of 2048 pixels: the measured pixels are the face's own units,
    // with no rounding to hide a difference.
    HFONT font = createArialFont(-EM, 0, FW_NORMAL);
    HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, font);
    char face[LF_FACESIZE * 3] = "";
    wchar_t wideFace[LF_FACESIZE] = L"";
    GetTextFaceW(dc, LF_FACESIZE, wideFace);
    WideCharToMultiByte(CP_UTF8, 0, wideFace, -1, face, sizeof face, nullptr, nullptr);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    std::ostringstream got;
    got << "Arial came out as \"" << face << "\", line height "
        << metrics.tmHeight << " (Arial " << ARIAL_LINE_HEIGHT << ")";
    // The face's name is only reported: under any name, a face with these
    // metrics measures every text as Arial does.
    bool same = std::abs(metrics.tmHeight - ARIAL_LINE_HEIGHT) <= 2;
    for (const Advance& advance : ARIAL_ADVANCES) {
        INT width = 0;
        GetCharWidth32W(dc, advance.character, advance.character, &width);
        if (std::abs(width - advance.units) > 1) {
            same = false;
            got << ", '" << static_cast<char>(advance.character) << "' " << width << " wide (Arial "
                << advance.units << ")";
        }
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(font);
    if (!same)
        GTEST_FAIL() << "Arial-metric font missing: run scripts/setup.sh (" << got.str() << ")";
}
