// Image styles: the pixel transforms applied to an image's covered pixels, and laying the image
// with its drop shadow over what is already drawn.
#include "effects/draw_effects.h"

#include <algorithm>

namespace dp {

namespace {

constexpr double kDarkerFactor = 0.75;
constexpr double kLighterFactor = 0.25;

std::uint32_t Coverage(std::uint32_t pixel) {
    return pixel >> 24;
}

// Lays `pixel` over `under` by `share` (0-1) of full coverage.
void LayOver(std::uint32_t& under, std::uint32_t pixel, double share) {
    if (share <= 0)
        return;
    under = share >= 1 ? (under & 0xFF000000u) | (pixel & 0xFFFFFF)
                       : Blend(under, 1 - share, pixel, share);
}

} // namespace

ImageStyle ImageStyleFromLetters(std::wstring_view letters) {
    ImageStyle style;
    for (wchar_t c : letters) {
        switch (c) {
        case L'g':
        case L'G':
            style.grey = true;
            break;
        case L'd':
        case L'D':
            style.darker = true;
            break;
        case L'l':
        case L'L':
            style.lighter = true;
            break;
        case L's':
        case L'S':
            style.shadow = true;
            break;
        default:
            break;
        }
    }
    return style;
}

void ApplyImageStyle(PixelBuffer& image, const ImageStyle& style) {
    if (!style.grey && !style.darker && !style.lighter)
        return;
    for (std::uint32_t& pixel : image.pixels) {
        if (Coverage(pixel) == 0)
            continue;
        if (style.grey)
            pixel = ToGrey(pixel);
        if (style.darker)
            pixel = Darken(pixel, kDarkerFactor);
        if (style.lighter)
            pixel = Lighten(pixel, kLighterFactor);
    }
}

void CompositeImage(PixelBuffer& background, int x, int y, const PixelBuffer& image,
                    const ImageStyle& style, const DropShadow& shadow) {
    PixelBuffer styled = image;
    ApplyImageStyle(styled, style);
    auto layImage = [&](int dx, int dy, auto pixelOf, double strength) {
        for (int row = 0; row < styled.height; ++row) {
            const long long by = static_cast<long long>(y) + dy + row;
            if (by < 0 || by >= background.height)
                continue;
            for (int column = 0; column < styled.width; ++column) {
                const long long bx = static_cast<long long>(x) + dx + column;
                if (bx < 0 || bx >= background.width)
                    continue;
                const std::uint32_t source = styled.At(column, row);
                LayOver(background.At(static_cast<int>(bx), static_cast<int>(by)), pixelOf(source),
                        Coverage(source) / 255.0 * strength);
            }
        }
    };
    if (style.shadow && shadow.offset > 0) {
        const double strength = std::clamp(shadow.opacityPercent, 0, 100) / 100.0;
        layImage(
            shadow.offset, shadow.offset, [&](std::uint32_t) { return shadow.pixel; }, strength);
    }
    layImage(
        0, 0, [](std::uint32_t source) { return source; }, 1.0);
}

} // namespace dp
