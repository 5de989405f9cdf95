// Stand-in for the drawing effects (see draw_effects.h).
#include "richmsg/draw_effects.h"

#include <algorithm>
#include <array>
#include <string>

namespace dp {
namespace {

constexpr std::array<std::wstring_view, 17> kNames = {
    L"transparent", L"solid",      L"hgradient", L"vgradient", L"hcgradient", L"vcgradient",
    L"3hgradient",  L"3vgradient", L"noise",     L"diagshade", L"hshade",     L"vshade",
    L"hbump",       L"vbump",      L"softbump",  L"hardbump",  L"metal"};

std::uint32_t Channel(std::uint32_t pixel, int shift) {
    return (pixel >> shift) & 0xFF;
}

template <typename F> std::uint32_t PerChannel(std::uint32_t pixel, F f) {
    std::uint32_t out = 0;
    for (int shift : {0, 8, 16})
        out |= std::min<std::uint32_t>(255, f(Channel(pixel, shift))) << shift;
    return out;
}

} // namespace

std::optional<int> EffectNumberFromName(std::wstring_view name) {
    if (name.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (kNames[i] == name)
            return static_cast<int>(i) - 1;
    int value = 0;
    for (wchar_t c : name) {
        if (c < L'0' || c > L'9')
            break;
        value = std::min(value * 10 + (c - L'0'), 1000000);
    }
    return value;
}

std::uint32_t ToGrey(std::uint32_t pixel) {
    const auto y = static_cast<std::uint32_t>(
        0.299 * Channel(pixel, 16) + 0.587 * Channel(pixel, 8) + 0.114 * Channel(pixel, 0));
    return (y << 16) | (y << 8) | y;
}

std::uint32_t Invert(std::uint32_t pixel) {
    return (pixel ^ 0x00FFFFFF) & 0x00FFFFFF;
}

std::uint32_t Darken(std::uint32_t pixel, double factor) {
    if (factor < 0 || factor >= 1)
        return pixel;
    return PerChannel(pixel,
                      [&](std::uint32_t c) { return static_cast<std::uint32_t>(c * factor); });
}

std::uint32_t Lighten(std::uint32_t pixel, double factor) {
    if (factor <= 0 || factor > 1)
        return pixel;
    return PerChannel(
        pixel, [&](std::uint32_t c) { return static_cast<std::uint32_t>(c * (1 + factor)); });
}

std::uint32_t Blend(std::uint32_t pixel, double weight, std::uint32_t other, double otherWeight) {
    std::uint32_t out = 0;
    for (int shift : {0, 8, 16}) {
        const double v = Channel(pixel, shift) * weight + Channel(other, shift) * otherWeight;
        out |= static_cast<std::uint32_t>(std::clamp(v, 0.0, 255.0)) << shift;
    }
    return out;
}

} // namespace dp
