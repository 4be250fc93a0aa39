#include "dashboard/panel_frame_win.h"

#include "app/shared_drawing_win.h"
#include "resources/resource_ids.h"

namespace {

constexpr int CORNER = 8;
constexpr int SEPARATOR_DROP = 16;

bool stretchesToBottom(int panelId)
{
    return panelId == IDC_PANEL_CHANNEL || panelId == IDC_PANEL_RAIN || panelId == IDC_PANEL_INDEX
           || panelId == IDC_PANEL_EXPORT;
}

bool onSetupPage(int panelId)
{
    return panelId == IDC_PANEL_UNITS || panelId == IDC_PANEL_SERVER || panelId == IDC_PANEL_EXPORT;
}

void line(HDC dc, int x1, int y, int x2)
{
    MoveToEx(dc, x1, y, nullptr);
    LineTo(dc, x2, y);
}

void drawSeparator(HDC dc, int panelId, const RECT& r)
{
    if (onSetupPage(panelId))
        return;
    const int y = r.top + (r.bottom - r.top) / 2 + SEPARATOR_DROP;
    const int w = r.right - r.left;
    if (panelId == IDC_PANEL_WIND) {
        line(dc, r.left + 16, y, r.left + (2 * w) / 5);
    } else if (panelId == IDC_PANEL_INDEX) {
        line(dc, r.left + 16, y, r.left + (2 * w) / 5 + 40);
        line(dc, r.left + (3 * w) / 5 - 16, y, r.right - 30);
    } else {
        line(dc, r.left + 16, y, r.right - 16);
    }
}

} // namespace

void drawPanelFrame(HWND page, HDC dc, int panelId, COLORREF colour)
{
    RECT client{};
    GetClientRect(page, &client);
    const RECT r = controlRectInParent(page, GetDlgItem(page, panelId));
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    const HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const HGDIOBJ previousPen = SelectObject(dc, pen);
    int bottom = r.bottom;
    if (stretchesToBottom(panelId) && r.bottom < client.bottom - 1)
        bottom = client.bottom - 1;
    RoundRect(dc, r.left, r.top, r.right, bottom, CORNER, CORNER);
    drawSeparator(dc, panelId, r);
    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    DeleteObject(pen);
}
