#include "effects/win32/draw_effects_win32.h"

#include <algorithm>
#include <cstdlib>

#include "framework/win32/handles.h"
#include "effects/win32/dib_section.h"

namespace dp {

namespace {

EffectRect ToEffectRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

RECT ToRect(const EffectRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

int CRand() {
    return std::rand();
}

void FillSolid(HDC dc, const SolidFill& fill) {
    UniqueGdiObject brush(::CreateSolidBrush(ColorRefFromPixel(fill.pixel)));
    if (!brush)
        return;
    const RECT rect = ToRect(fill.rect);
    ::FillRect(dc, &rect, static_cast<HBRUSH>(brush.get()));
}

void BlitPixels(HDC dc, int x, int y, const PixelBuffer& pixels) {
    const BITMAPINFO info = TopDownBitmapInfo(pixels.width, pixels.height);
    ::StretchDIBits(dc, x, y, pixels.width, pixels.height, 0, 0, pixels.width, pixels.height,
                    pixels.pixels.data(), &info, DIB_RGB_COLORS, SRCCOPY);
}

// The part of the DC that can show anything; a DC that cannot say is taken as showing it all.
EffectRect VisibleBox(HDC dc, const RECT& rect) {
    RECT clip{};
    switch (::GetClipBox(dc, &clip)) {
    case NULLREGION:
        return {};
    case ERROR:
        return ToEffectRect(rect);
    default:
        return ToEffectRect(clip);
    }
}

void FillPalettePattern(HDC dc, int effect, const RECT& rect, const EffectColours& colours,
                        int amplitude, int tint) {
    const PatternPlacement placement = PlacePattern(ToEffectRect(rect), VisibleBox(dc, rect));
    if (placement.tiles.empty())
        return;
    const RandomSource random = CRand;
    const PalettePattern pattern(effect, placement.width, placement.height, colours, amplitude,
                                 tint, random);
    for (const EffectRect& tile : placement.tiles) {
        const PixelBuffer pixels = pattern.RenderTile(tile, random);
        BlitPixels(dc, rect.left + tile.left, rect.top + tile.top, pixels);
    }
}

DWORD PenStyleOf(PenDash dash) {
    switch (dash) {
    case PenDash::Dash:
        return PS_DASH;
    case PenDash::Dot:
        return PS_DOT;
    case PenDash::DashDot:
        return PS_DASHDOT;
    case PenDash::DashDotDot:
        return PS_DASHDOTDOT;
    default:
        return PS_SOLID;
    }
}

// A cosmetic pen keeps its dashes only one pixel wide; wider dashed lines need a geometric pen.
HPEN CreateLinePen(const StyledLinePlan& plan, COLORREF colour) {
    const DWORD style = PenStyleOf(plan.dash);
    if (plan.width == 1 || plan.dash == PenDash::Solid)
        return ::CreatePen(static_cast<int>(style), plan.width, colour);
    const LOGBRUSH brush{BS_SOLID, colour, 0};
    return ::ExtCreatePen(PS_GEOMETRIC | style | PS_ENDCAP_FLAT | PS_JOIN_MITER,
                          static_cast<DWORD>(plan.width), &brush, 0, nullptr);
}

// Dash gaps show what is underneath, and the DC's current position is left where it was.
class LineDrawingState {
public:
    explicit LineDrawingState(HDC dc) : dc_(dc), backgroundMode_(::SetBkMode(dc, TRANSPARENT)) {
        ::GetCurrentPositionEx(dc, &position_);
    }
    ~LineDrawingState() {
        ::MoveToEx(dc_, position_.x, position_.y, nullptr);
        if (backgroundMode_)
            ::SetBkMode(dc_, backgroundMode_);
    }
    LineDrawingState(const LineDrawingState&) = delete;
    LineDrawingState& operator=(const LineDrawingState&) = delete;

private:
    HDC dc_;
    int backgroundMode_;
    POINT position_{};
};

int ClampedImageSide(int side) {
    return std::min(side, kMaxImageSide);
}

// A rectangle's width or height, 0 when it is empty or inverted, held within int.
int Extent(LONG from, LONG to) {
    return static_cast<int>(std::clamp<long long>(static_cast<long long>(to) - from, 0, INT32_MAX));
}

// Coverage and colour from the same icon drawn over black and over white: a pixel the icon
// covers with alpha a shows a*c over black and a*c + (255 - a) over white.
PixelBuffer CoverageFromBlackAndWhite(const PixelBuffer& overBlack, const PixelBuffer& overWhite) {
    PixelBuffer out(overBlack.width, overBlack.height);
    for (std::size_t i = 0; i < out.pixels.size(); ++i) {
        const std::uint32_t black = overBlack.pixels[i];
        const std::uint32_t white = overWhite.pixels[i];
        int alpha = 255;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int difference = static_cast<int>((white >> shift) & 0xFF) -
                                   static_cast<int>((black >> shift) & 0xFF);
            alpha = std::min(alpha, 255 - std::clamp(difference, 0, 255));
        }
        std::uint32_t colour = 0;
        for (int shift = 0; alpha > 0 && shift <= 16; shift += 8) {
            const int premultiplied = static_cast<int>((black >> shift) & 0xFF);
            colour |= static_cast<std::uint32_t>(std::min(255, premultiplied * 255 / alpha))
                      << shift;
        }
        out.pixels[i] = (static_cast<std::uint32_t>(alpha) << 24) | colour;
    }
    return out;
}

std::optional<PixelBuffer> IconOver(HICON icon, int width, int height, std::uint32_t background) {
    DibSection canvas(ClampedImageSide(width), ClampedImageSide(height));
    if (!canvas.ok())
        return std::nullopt;
    canvas.Fill(background);
    if (!::DrawIconEx(canvas.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL))
        return std::nullopt;
    return canvas.Pixels();
}

} // namespace

void FillEffect(HDC dc, int effect, const RECT& rect, COLORREF colour1, COLORREF colour2,
                COLORREF colour3, int amplitude, int tint) {
    const EffectColours colours{PixelFromColorRef(colour1), PixelFromColorRef(colour2),
                                PixelFromColorRef(colour3)};
    if (IsPalettePattern(effect)) {
        FillPalettePattern(dc, effect, rect, colours, amplitude, tint);
        return;
    }
    for (const SolidFill& fill : SolidAndGradientFills(effect, ToEffectRect(rect), colours))
        FillSolid(dc, fill);
}

void DrawStyledLine(HDC dc, int fromX, int fromY, int toX, int toY, COLORREF colour, int style,
                    int width) {
    const std::optional<StyledLinePlan> plan = PlanStyledLine(fromX, fromY, toX, toY, style, width);
    if (!plan)
        return;
    UniqueGdiObject pen(CreateLinePen(*plan, colour & 0xFFFFFF));
    if (!pen)
        return;
    LineDrawingState state(dc);
    SelectedObject selected(dc, pen.get());
    for (const LineSegment& segment : plan->segments) {
        ::MoveToEx(dc, segment.fromX, segment.fromY, nullptr);
        ::LineTo(dc, segment.toX, segment.toY);
    }
}

std::optional<PixelBuffer> ImagePixelsFromBitmap(HBITMAP bitmap, int width, int height,
                                                 COLORREF maskColour) {
    BITMAP info{};
    if (!bitmap || width <= 0 || height <= 0 || !::GetObjectW(bitmap, sizeof(info), &info))
        return std::nullopt;
    UniqueMemDc source(::CreateCompatibleDC(nullptr));
    if (!source)
        return std::nullopt;
    SelectedObject selected(source.get(), bitmap);
    DibSection canvas(ClampedImageSide(width), ClampedImageSide(height));
    if (!selected.ok() || !canvas.ok())
        return std::nullopt;
    // COLORONCOLOR keeps the mask colour exact where the bitmap is scaled.
    ::SetStretchBltMode(canvas.dc(), COLORONCOLOR);
    if (!::StretchBlt(canvas.dc(), 0, 0, width, height, source.get(), 0, 0, info.bmWidth,
                      info.bmHeight, SRCCOPY))
        return std::nullopt;
    PixelBuffer pixels = canvas.Pixels();
    const std::uint32_t mask = PixelFromColorRef(maskColour);
    for (std::uint32_t& pixel : pixels.pixels) {
        pixel &= 0xFFFFFF;
        if (pixel != mask)
            pixel |= 0xFF000000u;
    }
    return pixels;
}

std::optional<PixelBuffer> ImagePixelsFromIcon(HICON icon, int width, int height) {
    if (!icon || width <= 0 || height <= 0)
        return std::nullopt;
    const std::optional<PixelBuffer> overBlack = IconOver(icon, width, height, 0x000000);
    const std::optional<PixelBuffer> overWhite = IconOver(icon, width, height, 0xFFFFFF);
    if (!overBlack || !overWhite)
        return std::nullopt;
    return CoverageFromBlackAndWhite(*overBlack, *overWhite);
}

bool DrawImagePixels(HDC dc, int x, int y, const PixelBuffer& image, const ImageStyle& style,
                     const DropShadow& shadow) {
    if (image.width <= 0 || image.height <= 0)
        return true;
    const int margin =
        style.shadow && shadow.offset > 0 ? std::min(shadow.offset, kMaxImageSide) : 0;
    const DropShadow usedShadow{margin, shadow.pixel, shadow.opacityPercent};
    DibSection canvas(image.width + margin, image.height + margin);
    if (!canvas.ok())
        return false;
    // What is there already, so that coverage and shadow blend with it.
    if (!::BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), dc, x, y, SRCCOPY))
        return false;
    PixelBuffer composed = canvas.Pixels();
    CompositeImage(composed, 0, 0, image, style, usedShadow);
    canvas.SetPixels(composed);
    return ::BitBlt(dc, x, y, canvas.width(), canvas.height(), canvas.dc(), 0, 0, SRCCOPY) != 0;
}

bool DrawStyledBitmap(HDC dc, HBITMAP bitmap, const RECT& dest, COLORREF maskColour,
                      const ImageStyle& style, const DropShadow& shadow) {
    const std::optional<PixelBuffer> pixels = ImagePixelsFromBitmap(
        bitmap, Extent(dest.left, dest.right), Extent(dest.top, dest.bottom), maskColour);
    return pixels && DrawImagePixels(dc, dest.left, dest.top, *pixels, style, shadow);
}

bool DrawStyledIcon(HDC dc, HICON icon, const RECT& dest, const ImageStyle& style,
                    const DropShadow& shadow) {
    const std::optional<PixelBuffer> pixels =
        ImagePixelsFromIcon(icon, Extent(dest.left, dest.right), Extent(dest.top, dest.bottom));
    return pixels && DrawImagePixels(dc, dest.left, dest.top, *pixels, style, shadow);
}

} // namespace dp
