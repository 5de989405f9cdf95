// Background effects, styled lines and image pixel transforms: the platform-free arithmetic.
// The Win32 side (effects/win32/draw_effects_win32.h) only turns these results into brushes,
// pens and DIB blits.
//
// Pixels are 32-bit 0x00RRGGBB (a 32-bit DIB's memory layout read as one integer). Colours
// arrive from callers as COLORREF (0x00BBGGRR); PixelFromColorRef converts.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace dp {

// --- effect numbers ---------------------------------------------------------------------------
// Every number outside 1-15 (including -1) is filled as a solid of colour 1; callers that know
// -1 as "no background" skip the call themselves.
constexpr int kEffectTransparent = -1;
constexpr int kEffectSolid = 0;
constexpr int kEffectHGradient = 1;  // left to right, colour 1 -> colour 3
constexpr int kEffectVGradient = 2;  // top to bottom, colour 1 -> colour 3
constexpr int kEffectHCGradient = 3; // left half 1 -> 3, right half 3 -> 1
constexpr int kEffectVCGradient = 4; // top half 1 -> 3, bottom half 3 -> 1
constexpr int kEffect3HGradient = 5; // left half 1 -> 2, right half 2 -> 3
constexpr int kEffect3VGradient = 6; // top half 1 -> 2, bottom half 2 -> 3
constexpr int kEffectNoise = 7;      // 7-15: palette patterns
constexpr int kEffectDiagShade = 8;
constexpr int kEffectHShade = 9;
constexpr int kEffectVShade = 10;
constexpr int kEffectHBump = 11;
constexpr int kEffectVBump = 12;
constexpr int kEffectSoftBump = 13;
constexpr int kEffectHardBump = 14;
constexpr int kEffectMetal = 15;

// The effect named in markup ("transparent", "solid", "hgradient", ... "metal"), compared
// without regard to ASCII case. Anything else (including "") is not a name: empty optional.
std::optional<int> EffectNumberFromName(std::wstring_view name);

bool IsPalettePattern(int effect); // 7-15
bool IsGradient(int effect);       // 1-6

// --- line styles ------------------------------------------------------------------------------
constexpr int kLineNone = 0;
constexpr int kLineSolid = 1;
constexpr int kLineDashed = 2;
constexpr int kLineDotted = 3;
constexpr int kLineDashDot = 4;
constexpr int kLineDashDotDot = 5;
constexpr int kLineDouble = 6;
// Wider lines than this are drawn this wide, so that offsets cannot overflow.
constexpr int kMaxLineWidth = 4096;

enum class PenDash { Solid, Dash, Dot, DashDot, DashDotDot };
struct LineSegment {
    int fromX, fromY, toX, toY;
    friend bool operator==(const LineSegment&, const LineSegment&) = default;
};
// The pen and the segments a styled line draws with it. Style 0, a style outside 1-6 or a width
// <= 0 draws nothing. The double style (6) adds a second segment offset by twice the width:
// downwards for a line that is more horizontal than vertical, to the right otherwise.
struct StyledLinePlan {
    PenDash dash = PenDash::Solid;
    int width = 1;
    std::vector<LineSegment> segments;
};
std::optional<StyledLinePlan> PlanStyledLine(int fromX, int fromY, int toX, int toY, int style,
                                             int width);

// --- pixels -----------------------------------------------------------------------------------
constexpr std::uint32_t PixelFromColorRef(std::uint32_t colorRef) {
    return ((colorRef & 0xFF) << 16) | (colorRef & 0xFF00) | ((colorRef >> 16) & 0xFF);
}
constexpr std::uint32_t ColorRefFromPixel(std::uint32_t pixel) {
    return PixelFromColorRef(pixel); // the swap of red and blue is its own inverse
}

// The transforms change red, green and blue and keep the top byte as it is (images carry their
// coverage there, see below).
// Grey: 0.299 R + 0.587 G + 0.114 B truncated, computed exactly (a grey stays the same grey).
std::uint32_t ToGrey(std::uint32_t pixel);
std::uint32_t Invert(std::uint32_t pixel);
// Every channel times factor (truncated) for 0 <= factor < 1; any other factor (NaN too) leaves
// the pixel unchanged.
std::uint32_t Darken(std::uint32_t pixel, double factor);
// Every channel times (1 + factor), capped at 255, for 0 < factor <= 1; otherwise unchanged.
std::uint32_t Lighten(std::uint32_t pixel, double factor);
// Per channel a * weightA + b * weightB, truncated and held within 0-255 (weights summing above
// 1 saturate instead of wrapping).
std::uint32_t Blend(std::uint32_t a, double weightA, std::uint32_t b, double weightB);

// A 32-bit image, rows top-down.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    PixelBuffer() = default;
    PixelBuffer(int w, int h, std::uint32_t fill = 0);
    std::uint32_t& At(int x, int y) { return pixels[static_cast<std::size_t>(y) * width + x]; }
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

// --- effects ----------------------------------------------------------------------------------
struct EffectRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const EffectRect&, const EffectRect&) = default;
};
struct EffectColours {
    std::uint32_t colour1 = 0, colour2 = 0, colour3 = 0; // pixels 0x00RRGGBB
};
struct SolidFill {
    EffectRect rect;
    std::uint32_t pixel = 0;
    friend bool operator==(const SolidFill&, const SolidFill&) = default;
};

// The solid fills that draw a non-pattern effect over rect: one fill of colour 1 for 0 and every
// number outside 1-15, up to 64 bands per gradient run for 1-6 (bands narrower than a pixel are
// left out). An empty rect gives none. Palette patterns (7-15) give none: see PalettePattern.
std::vector<SolidFill> SolidAndGradientFills(int effect, const EffectRect& rect,
                                             const EffectColours& colours);

// Draws random numbers as the C library's rand() does on Windows: 0-32767.
using RandomSource = std::function<int()>;

// The 256-entry palette: colour 3 (entry 0) through colour 2 to colour 1 (entry 255), then
// moved towards colour 1 by tint percent (held within 0-100).
std::array<std::uint32_t, 256> EffectPalette(const EffectColours& colours, int tint);

// The palette index of the pixel at `row` counted from the bottom and `column` from the left of
// a width x height pattern, before noise. For metal, only its shading ramp (no streaks).
// Amplitude is held within 0-255; results beyond the palette are held at its ends.
std::uint8_t PatternIndex(int effect, long long row, long long column, long long width,
                          long long height, int amplitude);

// A palette pattern (effects 7-15) of a width x height rectangle, rendered a tile at a time so
// that memory stays bounded whatever the rectangle: the caller renders only the tiles it can
// show (PlacePattern). Metal's streaks are chosen once here, so that tiles agree.
class PalettePattern {
public:
    PalettePattern(int effect, int width, int height, const EffectColours& colours, int amplitude,
                   int tint, const RandomSource& random);
    // The pixels of `requested` (coordinates within the pattern, top-down), clipped to the pattern
    // and to kMaxPatternTileSide per side. Noise draws one random number per pixel.
    PixelBuffer RenderTile(const EffectRect& requested, const RandomSource& random) const;

private:
    struct Streak {
        long long x, y; // top-down
        long long length;
        int brightness; // 0-40
    };

    std::uint8_t BaseIndex(long long x, long long y) const;
    std::uint8_t NoisyIndex(std::uint8_t base, const RandomSource& random) const;
    void AddStreaks(const EffectRect& tile, std::vector<std::uint8_t>& streakIndex) const;

    int effect_;
    long long width_, height_;
    int amplitude_;
    int noiseDivisor_;
    std::array<std::uint32_t, 256> palette_;
    std::vector<Streak> streaks_;
};

// Tiles are at most this many pixels on a side (256 KB of pixels each).
constexpr int kMaxPatternTileSide = 256;
// Of a pattern, at most this many pixels per side are drawn (from the visible part's top-left
// corner); what lies beyond is left unpainted. Bounds the time one fill can take.
constexpr int kMaxPatternVisibleSide = 8192;
// A pattern rectangle wider or taller than GDI's own coordinate range (2^27) is cut to it.
constexpr int kMaxPatternExtent = 1 << 27;

// Where a pattern goes: its size (rect's, cut to kMaxPatternExtent) and the tiles, in the
// pattern's own coordinates, that cover the part of rect inside clipBox (both in device
// coordinates), at most kMaxPatternVisibleSide per side, row by row. No tiles: nothing to draw.
struct PatternPlacement {
    int width = 0;
    int height = 0;
    std::vector<EffectRect> tiles;
};
PatternPlacement PlacePattern(const EffectRect& rect, const EffectRect& clipBox);

// --- images -----------------------------------------------------------------------------------
// Images carry their coverage in the top byte: 0 transparent, 255 opaque (0xAARRGGBB).
struct ImageStyle {
    bool grey = false;    // "g": ToGrey
    bool darker = false;  // "d": Darken(0.75)
    bool lighter = false; // "l": Lighten(0.25)
    bool shadow = false;  // "s": a drop shadow, when the caller gives a shadow offset
    friend bool operator==(const ImageStyle&, const ImageStyle&) = default;
};
// Letters g, d, l, s in either case; others are ignored. A disabled look is "gl".
ImageStyle ImageStyleFromLetters(std::wstring_view letters);

// Grey, then darker, then lighter, on every pixel with some coverage.
void ApplyImageStyle(PixelBuffer& image, const ImageStyle& style);

struct DropShadow {
    int offset = 0;          // pixels right and down; 0: no shadow
    std::uint32_t pixel = 0; // 0x00RRGGBB
    int opacityPercent = 50; // of a fully covered pixel
};

// Lays `image` (styled with ApplyImageStyle) at (x, y) over `background`, blending by coverage;
// with style.shadow and shadow.offset > 0, its shadow first. Parts outside background are cut.
void CompositeImage(PixelBuffer& background, int x, int y, const PixelBuffer& image,
                    const ImageStyle& style, const DropShadow& shadow);

} // namespace dp
