// The palette patterns (effects 7-15): palette, index formulas, noise, hardbump bevel and metal
// streaks, rendered a tile at a time. All divisions are integer divisions rounding toward zero.
#include "effects/draw_effects.h"

#include <algorithm>

namespace dp {

namespace {

constexpr int kRandMax = 32767;
constexpr int kMetalStreaks = 200;
constexpr int kMetalStreakBrightnessDivisor = 819; // rand() / 819: 0-40
constexpr int kMetalStreakRange = 40;
constexpr int kMaxHardBumpBevel = 16;

int ClampAmplitude(int amplitude) {
    return std::clamp(amplitude, 0, 255);
}

// Per channel (a * (parts - i) + b * i) / parts.
std::uint32_t Mix(std::uint32_t a, std::uint32_t b, std::uint32_t i, std::uint32_t parts) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const std::uint32_t x = (a >> shift) & 0xFF;
        const std::uint32_t y = (b >> shift) & 0xFF;
        out |= ((x * (parts - i) + y * i) / parts) << shift;
    }
    return out;
}

long long Cube(long long m) {
    return m * m * m;
}

// The bump's curve value for a ramp position from 0 to `extent` (exclusive): -127..127.
long long BumpOffset(long long position, long long extent) {
    return position * 255 / extent - 127;
}

// A random number below n, also for n above RAND_MAX (two draws then).
long long RandomBelow(long long n, const RandomSource& random) {
    if (n <= 1)
        return 0;
    long long value = random();
    if (n > kRandMax + 1)
        value = value * (kRandMax + 1) + random();
    return (value % n + n) % n;
}

// Pattern indexes that the formulas carry past the palette's ends (vbump's leftmost column
// computes to 256) are held at the end: wrapping would draw a line of the other end's colour.
std::uint8_t HeldToByte(long long v) {
    return static_cast<std::uint8_t>(std::clamp<long long>(v, 0, 255));
}

// Noise wraps: an offset beyond an end comes back from the other.
std::uint8_t AsByte(long long v) {
    return static_cast<std::uint8_t>(static_cast<unsigned long long>(v) & 0xFF);
}

// The raised frame of the hardbump: top and left edges lean to the palette's colour-1 end, bottom
// and right edges to its colour-3 end, each easing half way back to the inner value across the
// bevel and then stepping to it (the "hard" edge). Corners are mitred, ties going to the light
// side.
long long HardBumpWithBevel(long long inner, long long row, long long column, long long width,
                            long long height, int amplitude) {
    const long long bevel = std::min<long long>(width / 6, kMaxHardBumpBevel);
    if (bevel <= 0)
        return inner;
    const long long fromTop = height - 1 - row;
    const long long fromLeft = column;
    const long long fromBottom = row;
    const long long fromRight = width - 1 - column;
    const long long light = std::min(fromTop, fromLeft);
    const long long dark = std::min(fromBottom, fromRight);
    const long long nearest = std::min(light, dark);
    if (nearest >= bevel)
        return inner;
    const long long edge = light <= dark ? 255 - amplitude : amplitude;
    return edge + (inner - edge) * nearest / (2 * bevel);
}

} // namespace

std::array<std::uint32_t, 256> EffectPalette(const EffectColours& colours, int tint) {
    std::array<std::uint32_t, 256> palette{};
    for (std::uint32_t i = 0; i <= 128; ++i)
        palette[i] = Mix(colours.colour3, colours.colour2, i, 128);
    for (std::uint32_t j = 1; j <= 128; ++j)
        palette[127 + j] = Mix(colours.colour2, colours.colour1, j, 128);
    const auto share = static_cast<std::uint32_t>(std::clamp(tint, 0, 100));
    for (std::uint32_t& entry : palette)
        entry = Mix(entry, colours.colour1 & 0xFFFFFF, share, 100);
    return palette;
}

std::uint8_t PatternIndex(int effect, long long row, long long column, long long width,
                          long long height, int amplitude) {
    if (width <= 0 || height <= 0)
        return 0;
    const long long a = ClampAmplitude(amplitude);
    const long long s = 255 - 2 * a;
    const long long r = row;
    const long long fromRight = width - column;
    auto diagonalRamp = [&](long long n) { return a + r * n / height + fromRight * n / width; };
    const long long mr = BumpOffset(r, height);
    const long long mc = BumpOffset(fromRight, width);
    switch (effect) {
    case kEffectNoise:
        return 128;
    case kEffectDiagShade:
        return HeldToByte(diagonalRamp(s / 2));
    case kEffectHShade:
        return HeldToByte(a + r * s / height);
    case kEffectVShade:
        return HeldToByte(a + s * fromRight / width);
    case kEffectHBump:
        return HeldToByte(128 + (Cube(mr) / 16384 * (128 - a)) / 128);
    case kEffectVBump:
        return HeldToByte(128 + (Cube(mc) / 16384 * (128 - a)) / 128);
    case kEffectSoftBump: {
        const long long v = 128 + ((Cube(mr) / 16384 + Cube(mc) / 16384) * (128 - a)) / 128;
        // For amplitudes above 127 the bounds cross; the upper one wins.
        return HeldToByte(std::min(std::max(v, a), 255 - a));
    }
    case kEffectHardBump: {
        const long long inner = 128 + Cube(mr) / 16384 * (64 - a) * 2 / 128;
        return HeldToByte(HardBumpWithBevel(inner, r, column, width, height, static_cast<int>(a)));
    }
    case kEffectMetal:
        return HeldToByte(diagonalRamp((s - kMetalStreakRange) / 2));
    default:
        return 0;
    }
}

PalettePattern::PalettePattern(int effect, int width, int height, const EffectColours& colours,
                               int amplitude, int tint, const RandomSource& random)
    : effect_(effect), width_(std::max(width, 1)), height_(std::max(height, 1)),
      amplitude_(ClampAmplitude(amplitude)),
      noiseDivisor_(kRandMax / (amplitude_ > 0 ? 2 * amplitude_ : 1)),
      palette_(EffectPalette(colours, tint)) {
    if (effect_ != kEffectMetal)
        return;
    const long long longest = std::min(width_, height_);
    streaks_.reserve(kMetalStreaks);
    for (int i = 0; i < kMetalStreaks; ++i) {
        Streak streak;
        streak.x = RandomBelow(width_, random);
        streak.y = RandomBelow(height_, random);
        streak.length = RandomBelow(longest + 1, random);
        streak.brightness =
            std::clamp(random() / kMetalStreakBrightnessDivisor, 0, kMetalStreakRange);
        streaks_.push_back(streak);
    }
}

std::uint8_t PalettePattern::BaseIndex(long long x, long long y) const {
    return PatternIndex(effect_, height_ - 1 - y, x, width_, height_, amplitude_);
}

std::uint8_t PalettePattern::NoisyIndex(std::uint8_t base, const RandomSource& random) const {
    return AsByte(base + static_cast<long long>(random()) / noiseDivisor_ - amplitude_);
}

// Each streak runs along both diagonals through its point, brightest at the point and fading to
// nothing at its ends; where streaks cross, the brighter one shows.
void PalettePattern::AddStreaks(const EffectRect& tile,
                                std::vector<std::uint8_t>& streakIndex) const {
    const long long tileWidth = tile.right - tile.left;
    for (const Streak& streak : streaks_) {
        const long long half = streak.length / 2;
        if (half <= 0 || streak.brightness <= 0)
            continue;
        for (int slope : {1, -1}) {
            // Steps i with x + i inside the tile's columns and y + slope * i inside its rows.
            long long first = std::max(-half, tile.left - streak.x);
            long long last = std::min(half, tile.right - 1 - streak.x);
            if (slope > 0) {
                first = std::max(first, tile.top - streak.y);
                last = std::min(last, tile.bottom - 1 - streak.y);
            } else {
                first = std::max(first, streak.y - (tile.bottom - 1));
                last = std::min(last, streak.y - tile.top);
            }
            for (long long i = first; i <= last; ++i) {
                const long long x = streak.x + i - tile.left;
                const long long y = streak.y + slope * i - tile.top;
                const long long fade = half - (i < 0 ? -i : i);
                const auto value = static_cast<std::uint8_t>(streak.brightness * fade / half);
                std::uint8_t& cell = streakIndex[static_cast<std::size_t>(y * tileWidth + x)];
                cell = std::max(cell, value);
            }
        }
    }
}

PixelBuffer PalettePattern::RenderTile(const EffectRect& requested,
                                       const RandomSource& random) const {
    EffectRect tile = requested;
    tile.left = static_cast<int>(std::clamp<long long>(tile.left, 0, width_));
    tile.top = static_cast<int>(std::clamp<long long>(tile.top, 0, height_));
    tile.right = static_cast<int>(std::clamp<long long>(
        tile.right, tile.left, std::min<long long>(width_, tile.left + kMaxPatternTileSide)));
    tile.bottom = static_cast<int>(std::clamp<long long>(
        tile.bottom, tile.top, std::min<long long>(height_, tile.top + kMaxPatternTileSide)));
    PixelBuffer out(tile.right - tile.left, tile.bottom - tile.top);
    std::vector<std::uint8_t> streakIndex;
    if (effect_ == kEffectMetal) {
        streakIndex.assign(out.pixels.size(), 0);
        AddStreaks(tile, streakIndex);
    }
    std::size_t i = 0;
    for (int y = tile.top; y < tile.bottom; ++y) {
        for (int x = tile.left; x < tile.right; ++x, ++i) {
            const std::uint8_t base = BaseIndex(x, y);
            std::uint8_t index;
            if (effect_ == kEffectMetal) {
                // The metal's noise only brightens; a sum above the palette stays at its end.
                const long long sum = base + streakIndex[i] + random() / noiseDivisor_;
                index = static_cast<std::uint8_t>(std::clamp<long long>(sum, 0, 255));
            } else {
                index = NoisyIndex(base, random);
            }
            out.pixels[i] = palette_[index];
        }
    }
    return out;
}

PatternPlacement PlacePattern(const EffectRect& rect, const EffectRect& clipBox) {
    PatternPlacement placement;
    const long long width =
        std::min<long long>(static_cast<long long>(rect.right) - rect.left, kMaxPatternExtent);
    const long long height =
        std::min<long long>(static_cast<long long>(rect.bottom) - rect.top, kMaxPatternExtent);
    if (width <= 0 || height <= 0)
        return placement;
    placement.width = static_cast<int>(width);
    placement.height = static_cast<int>(height);
    // The visible part in the pattern's own coordinates.
    const long long left = std::max<long long>(clipBox.left - static_cast<long long>(rect.left), 0);
    const long long top = std::max<long long>(clipBox.top - static_cast<long long>(rect.top), 0);
    const long long right = std::min(
        {static_cast<long long>(clipBox.right) - rect.left, width, left + kMaxPatternVisibleSide});
    const long long bottom = std::min(
        {static_cast<long long>(clipBox.bottom) - rect.top, height, top + kMaxPatternVisibleSide});
    for (long long y = top; y < bottom; y += kMaxPatternTileSide) {
        for (long long x = left; x < right; x += kMaxPatternTileSide) {
            placement.tiles.push_back(
                {static_cast<int>(x), static_cast<int>(y),
                 static_cast<int>(std::min(x + kMaxPatternTileSide, right)),
                 static_cast<int>(std::min(y + kMaxPatternTileSide, bottom))});
        }
    }
    return placement;
}

} // namespace dp
