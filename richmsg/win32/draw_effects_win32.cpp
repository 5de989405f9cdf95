// Stand-in for the GDI side of the drawing effects (see draw_effects_win32.h): solid fills and
// plain pens only.
#include "richmsg/win32/draw_effects_win32.h"

#include "framework/win32/handles.h"

namespace dp {

void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF c1, COLORREF, COLORREF c3, int,
                int) {
    if (effect < 0)
        return;
    UniqueGdiObject brush(::CreateSolidBrush(effect == 0 ? c1 : c3));
    ::FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void DrawStyledLine(HDC dc, int fromX, int fromY, int toX, int toY, COLORREF colour, int style,
                    int width) {
    if (style <= 0 || width <= 0)
        return;
    static constexpr int kPenStyles[] = {PS_SOLID,   PS_SOLID,      PS_DASH, PS_DOT,
                                         PS_DASHDOT, PS_DASHDOTDOT, PS_SOLID};
    const int penStyle = style < 7 ? kPenStyles[style] : PS_SOLID;
    UniqueGdiObject pen(::CreatePen(penStyle, penStyle == PS_SOLID ? width : 1, colour));
    SelectedObject selected(dc, pen.get());
    ::MoveToEx(dc, fromX, fromY, nullptr);
    ::LineTo(dc, toX, toY);
    if (style == 6) {
        const bool horizontal = fromY == toY;
        const int dx = horizontal ? 0 : 2 * width, dy = horizontal ? 2 * width : 0;
        ::MoveToEx(dc, fromX + dx, fromY + dy, nullptr);
        ::LineTo(dc, toX + dx, toY + dy);
    }
}

} // namespace dp
