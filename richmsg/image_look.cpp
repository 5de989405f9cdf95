#include "richmsg/image_look.h"

#include "richmsg/display_list.h"
#include "richmsg/draw_effects.h"

namespace dp::html {

void ApplyLook(std::span<std::uint32_t> pixels, std::uint8_t look) {
    if ((look & (kLookGrey | kLookDarker | kLookLighter)) == 0)
        return;
    for (std::uint32_t& pixel : pixels) {
        const std::uint32_t alpha = pixel & 0xFF000000u;
        if (alpha == 0)
            continue;
        std::uint32_t rgb = pixel & 0x00FFFFFFu;
        if (look & kLookGrey)
            rgb = ToGrey(rgb);
        if (look & kLookDarker)
            rgb = Darken(rgb, 0.75);
        if (look & kLookLighter)
            rgb = Lighten(rgb, 0.25);
        pixel = alpha | (rgb & 0x00FFFFFFu);
    }
}

void MakeShadow(std::span<std::uint32_t> pixels, std::uint32_t colour) {
    const std::uint32_t rgb = ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
    for (std::uint32_t& pixel : pixels)
        pixel = ((pixel >> 25) << 24) | rgb;
}

} // namespace dp::html
