// Lengths at a screen resolution. Everything on screen is designed at 96 dots per inch (100 %
// scaling): pixel constants, the pixels a caller or a message names, the sizes of buttons and
// margins. At another resolution (120 = 125 %, 144 = 150 %, 192 = 200 %) they grow in
// proportion, rounded as the system's MulDiv rounds, so that every window built from them looks
// the same, only sharper.
#pragma once

#include <cstdint>

namespace dp {

inline constexpr int kDesignDpi = 96;

// A resolution as the system reported it; a failed query (0) or a value no display has is taken
// as 96, so that a broken answer never yields a zero-sized or a giant window.
int SaneDpi(int reported);

// `pixels` designed at 96 dpi, at `dpi`; rounded half away from zero. 96 returns them as given.
int ScaleToDpi(int pixels, int dpi);
// Pixels measured at `dpi` back to 96-dpi pixels (the inverse, rounded the same way).
int ScaleFromDpi(int pixels, int dpi);
// A length measured at one resolution, at another: a font height (its sign is kept, as in a
// LOGFONT), a metric the system gave for its own resolution.
int RescaleDpi(int value, int fromDpi, int toDpi);

// The LOGFONT height of a font of `points` at `dpi`: negative, the character height in pixels
// (8 points: -11 at 96, -13 at 120, -16 at 144, -21 at 192).
int FontHeightForPoints(int points, int dpi);

struct DpiRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const DpiRect&) const = default;
};

// Where a window that lays itself out anew for a new resolution goes (WM_DPICHANGED): at the
// top left corner of the rectangle the system suggests, which keeps it under the pointer that
// drags it, with its own new size rather than the old one scaled.
DpiRect RectForNewLayout(const DpiRect& suggested, int width, int height);

} // namespace dp
