// Effect names, pixel transforms, styled lines and the gradient bands.
#include "effects/draw_effects.h"

#include <algorithm>
#include <cmath>

namespace dp {

namespace {

struct NamedEffect {
    std::wstring_view name;
    int number;
};

constexpr NamedEffect kEffectNames[] = {
    {L"transparent", kEffectTransparent},
    {L"solid", kEffectSolid},
    {L"hgradient", kEffectHGradient},
    {L"vgradient", kEffectVGradient},
    {L"hcgradient", kEffectHCGradient},
    {L"vcgradient", kEffectVCGradient},
    {L"3hgradient", kEffect3HGradient},
    {L"3vgradient", kEffect3VGradient},
    {L"noise", kEffectNoise},
    {L"diagshade", kEffectDiagShade},
    {L"hshade", kEffectHShade},
    {L"vshade", kEffectVShade},
    {L"hbump", kEffectHBump},
    {L"vbump", kEffectVBump},
    {L"softbump", kEffectSoftBump},
    {L"hardbump", kEffectHardBump},
    {L"metal", kEffectMetal},
};

wchar_t AsciiLower(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return AsciiLower(x) == AsciiLower(y); });
}

std::uint32_t Red(std::uint32_t p) {
    return (p >> 16) & 0xFF;
}
std::uint32_t Green(std::uint32_t p) {
    return (p >> 8) & 0xFF;
}
std::uint32_t Blue(std::uint32_t p) {
    return p & 0xFF;
}
// Keeps the top byte of `keep` and takes the three channels given.
std::uint32_t WithChannels(std::uint32_t keep, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (keep & 0xFF000000u) | (r << 16) | (g << 8) | b;
}

template <typename F> std::uint32_t EachChannel(std::uint32_t p, F f) {
    return WithChannels(p, f(Red(p)), f(Green(p)), f(Blue(p)));
}

// A channel value from a double: truncated, NaN and negatives as 0, at most 255.
std::uint32_t ChannelFrom(double v) {
    if (!(v > 0))
        return 0;
    return v >= 255 ? 255u : static_cast<std::uint32_t>(v);
}

// floor((from * (64 - k) + to * k) / 64) per channel.
std::uint32_t BandColour(std::uint32_t from, std::uint32_t to, int k) {
    auto mix = [k](std::uint32_t a, std::uint32_t b) { return (a * (64 - k) + b * k) / 64; };
    return WithChannels(0, mix(Red(from), Red(to)), mix(Green(from), Green(to)),
                        mix(Blue(from), Blue(to)));
}

// One gradient run cut into 64 bands along its direction; empty bands are left out.
void AddGradientRun(bool horizontal, const EffectRect& run, std::uint32_t from, std::uint32_t to,
                    std::vector<SolidFill>& fills) {
    const long long start = horizontal ? run.left : run.top;
    const long long length = horizontal ? static_cast<long long>(run.right) - run.left
                                        : static_cast<long long>(run.bottom) - run.top;
    if (length <= 0)
        return;
    for (int k = 0; k < 64; ++k) {
        const int a = static_cast<int>(start + k * length / 64);
        const int b = static_cast<int>(start + (k + 1) * length / 64);
        if (b <= a)
            continue;
        EffectRect band = run;
        (horizontal ? band.left : band.top) = a;
        (horizontal ? band.right : band.bottom) = b;
        fills.push_back({band, BandColour(from, to, k)});
    }
}

// Two runs side by side (or one above the other): the first half rounded down, then the rest.
void AddSplitGradient(bool horizontal, const EffectRect& rect, std::uint32_t from,
                      std::uint32_t middle, std::uint32_t to, std::vector<SolidFill>& fills) {
    EffectRect first = rect;
    EffectRect second = rect;
    if (horizontal) {
        first.right =
            static_cast<int>(rect.left + (static_cast<long long>(rect.right) - rect.left) / 2);
        second.left = first.right;
    } else {
        first.bottom =
            static_cast<int>(rect.top + (static_cast<long long>(rect.bottom) - rect.top) / 2);
        second.top = first.bottom;
    }
    AddGradientRun(horizontal, first, from, middle, fills);
    AddGradientRun(horizontal, second, middle, to, fills);
}

int SaturatedInt(long long v) {
    return static_cast<int>(std::clamp<long long>(v, INT32_MIN, INT32_MAX));
}

} // namespace

std::optional<int> EffectNumberFromName(std::wstring_view name) {
    for (const NamedEffect& effect : kEffectNames) {
        if (EqualsIgnoringAsciiCase(effect.name, name))
            return effect.number;
    }
    return std::nullopt;
}

bool IsPalettePattern(int effect) {
    return effect >= kEffectNoise && effect <= kEffectMetal;
}

bool IsGradient(int effect) {
    return effect >= kEffectHGradient && effect <= kEffect3VGradient;
}

std::optional<StyledLinePlan> PlanStyledLine(int fromX, int fromY, int toX, int toY, int style,
                                             int width) {
    if (style < kLineSolid || style > kLineDouble || width <= 0)
        return std::nullopt;
    StyledLinePlan plan;
    plan.width = std::min(width, kMaxLineWidth);
    switch (style) {
    case kLineDashed:
        plan.dash = PenDash::Dash;
        break;
    case kLineDotted:
        plan.dash = PenDash::Dot;
        break;
    case kLineDashDot:
        plan.dash = PenDash::DashDot;
        break;
    case kLineDashDotDot:
        plan.dash = PenDash::DashDotDot;
        break;
    default:
        plan.dash = PenDash::Solid;
        break;
    }
    plan.segments.push_back({fromX, fromY, toX, toY});
    if (style == kLineDouble) {
        const long long offset = 2LL * plan.width;
        const bool horizontal = std::llabs(static_cast<long long>(toX) - fromX) >=
                                std::llabs(static_cast<long long>(toY) - fromY);
        if (horizontal)
            plan.segments.push_back(
                {fromX, SaturatedInt(fromY + offset), toX, SaturatedInt(toY + offset)});
        else
            plan.segments.push_back(
                {SaturatedInt(fromX + offset), fromY, SaturatedInt(toX + offset), toY});
    }
    return plan;
}

std::uint32_t ToGrey(std::uint32_t pixel) {
    // In thousandths: in doubles the three products of a grey such as 0x161616 sum to just under
    // its value, and truncation made 65 of the 256 greys one step darker.
    const std::uint32_t y = (299 * Red(pixel) + 587 * Green(pixel) + 114 * Blue(pixel)) / 1000;
    return WithChannels(pixel, y, y, y);
}

std::uint32_t Invert(std::uint32_t pixel) {
    return pixel ^ 0x00FFFFFFu;
}

std::uint32_t Darken(std::uint32_t pixel, double factor) {
    if (!(factor >= 0 && factor < 1))
        return pixel;
    return EachChannel(pixel, [factor](std::uint32_t c) { return ChannelFrom(c * factor); });
}

std::uint32_t Lighten(std::uint32_t pixel, double factor) {
    if (!(factor > 0 && factor <= 1))
        return pixel;
    return EachChannel(pixel, [factor](std::uint32_t c) { return ChannelFrom(c * (1 + factor)); });
}

std::uint32_t Blend(std::uint32_t a, double weightA, std::uint32_t b, double weightB) {
    auto mix = [&](std::uint32_t x, std::uint32_t y) {
        return ChannelFrom(x * weightA + y * weightB);
    };
    return WithChannels(a, mix(Red(a), Red(b)), mix(Green(a), Green(b)), mix(Blue(a), Blue(b)));
}

PixelBuffer::PixelBuffer(int w, int h, std::uint32_t fill)
    : width(std::max(w, 0)), height(std::max(h, 0)),
      pixels(static_cast<std::size_t>(width) * height, fill) {}

std::vector<SolidFill> SolidAndGradientFills(int effect, const EffectRect& rect,
                                             const EffectColours& colours) {
    std::vector<SolidFill> fills;
    if (rect.right <= rect.left || rect.bottom <= rect.top || IsPalettePattern(effect))
        return fills;
    const auto [c1, c2, c3] = colours;
    switch (effect) {
    case kEffectHGradient:
        AddGradientRun(true, rect, c1, c3, fills);
        break;
    case kEffectVGradient:
        AddGradientRun(false, rect, c1, c3, fills);
        break;
    case kEffectHCGradient:
        AddSplitGradient(true, rect, c1, c3, c1, fills);
        break;
    case kEffectVCGradient:
        AddSplitGradient(false, rect, c1, c3, c1, fills);
        break;
    case kEffect3HGradient:
        AddSplitGradient(true, rect, c1, c2, c3, fills);
        break;
    case kEffect3VGradient:
        AddSplitGradient(false, rect, c1, c2, c3, fills);
        break;
    default:
        fills.push_back({rect, c1});
        break;
    }
    return fills;
}

} // namespace dp
