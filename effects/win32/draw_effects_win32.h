// Background effects, styled lines and styled images drawn into a device context. All the
// arithmetic is in effects/draw_effects.h; these functions create brushes, pens and DIB
// sections, blit, and free every GDI object they made before returning.
#pragma once

#include <windows.h>

#include <optional>

#include "effects/draw_effects.h"

namespace dp {

// Fills rect with `effect` (see the kEffect* numbers; every number outside 1-15 is a solid fill
// with colour 1). Amplitude is the noise amplitude (0-255), tint the palette tint (0-100 %);
// both matter to the palette patterns 7-15 only and are held within their ranges. Patterns use
// the C library's rand(); seed it with srand() for a repeatable picture. Only the part of rect
// inside the DC's clip box is computed, at most kMaxPatternVisibleSide pixels per side.
void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF colour1, COLORREF colour2,
                COLORREF colour3, int amplitude, int tint);

// Draws a line in one of the kLine* styles (0 or an unknown style: nothing) `width` pixels wide
// (<= 0: nothing). Dashed and dotted styles wider than a pixel keep their dashes (geometric
// pen with flat ends). Like LineTo, the end point itself is not drawn.
void DrawStyledLine(HDC dc, int fromX, int fromY, int toX, int toY, COLORREF colour, int style,
                    int width);

// --- images drawn through the pixel transforms ---------------------------------------------
// Images are read at the size they are drawn, at most this many pixels per side (a larger size
// keeps its scale and is cut to its top-left kMaxImageSide x kMaxImageSide part).
constexpr int kMaxImageSide = 2048;

// The bitmap scaled to width x height, pixels equal to maskColour transparent, the rest opaque.
// Empty when the bitmap or size is unusable.
std::optional<PixelBuffer> ImagePixelsFromBitmap(HBITMAP bitmap, int width, int height,
                                                 COLORREF maskColour);
// The icon drawn at width x height (DrawIconEx scales it), its mask and alpha as coverage.
std::optional<PixelBuffer> ImagePixelsFromIcon(HICON icon, int width, int height);

// Draws image at (x, y) with the style's transforms and, with style.shadow and shadow.offset > 0,
// a drop shadow, blended with what the DC already shows there. False when GDI refused.
bool DrawImagePixels(HDC dc, int x, int y, const PixelBuffer& image, const ImageStyle& style,
                     const DropShadow& shadow = {});

// The two together: a bitmap with a mask colour, or an icon, scaled into dest and styled.
bool DrawStyledBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, COLORREF maskColour,
                      const ImageStyle& style, const DropShadow& shadow = {});
bool DrawStyledIcon(HDC dc, HICON icon, const RECT& dest, const ImageStyle& style,
                    const DropShadow& shadow = {});

} // namespace dp
