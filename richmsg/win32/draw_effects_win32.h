// Stand-in for the GDI side of the drawing effects until their own module arrives on main.
#pragma once

#include <windows.h>

namespace dp {

void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF c1, COLORREF c2, COLORREF c3,
                int amplitude, int tint);
void DrawStyledLine(HDC dc, int fromX, int fromY, int toX, int toY, COLORREF colour, int style,
                    int width);

} // namespace dp
