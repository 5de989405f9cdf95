// Plays a display list into a device context with GDI and the drawing effects.
#pragma once

#include "renderer/display_list.h"
#include "renderer/win32/gdi_text_measurer.h"
#include "renderer/win32/html_images_win32.h"

#include <windows.h>

namespace dp {

// Draws `list` with its origin at (originX, originY), clipped to `clip`. The DC's state (font,
// colours, modes, clipping) is as it was afterwards.
void PaintDisplayList(HDC dc, const html::DisplayList& list, int originX, int originY,
                      const RECT& clip, GdiFontCache& fonts, HtmlImages& images);

} // namespace dp
