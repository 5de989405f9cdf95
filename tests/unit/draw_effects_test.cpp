// Drawing effects: gradient bands, palette and pattern indexes, bounded pattern placement, the
// pixel transforms, styled lines and image composition.
#include "effects/draw_effects.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace dp {
namespace {

constexpr std::uint32_t kBlack = 0x000000, kGrey = 0x808080, kWhite = 0xFFFFFF;

int RedOf(std::uint32_t p) {
    return static_cast<int>((p >> 16) & 0xFF);
}

// Paints fills into a buffer the size of rect, counting how often each pixel is painted.
struct Painted {
    PixelBuffer pixels;
    std::vector<int> times;
};
Painted Paint(const std::vector<SolidFill>& fills, const EffectRect& rect) {
    Painted out{PixelBuffer(rect.right - rect.left, rect.bottom - rect.top), {}};
    out.times.assign(out.pixels.pixels.size(), 0);
    for (const SolidFill& fill : fills) {
        for (int y = fill.rect.top; y < fill.rect.bottom; ++y) {
            for (int x = fill.rect.left; x < fill.rect.right; ++x) {
                out.pixels.At(x - rect.left, y - rect.top) = fill.pixel;
                ++out.times[(y - rect.top) * out.pixels.width + x - rect.left];
            }
        }
    }
    return out;
}

TEST(GradientTest, ThirtyTwoPixelRunDrawsThirtyTwoOnePixelBands) {
    for (int effect : {kEffectHGradient, kEffectVGradient}) {
        const bool horizontal = effect == kEffectHGradient;
        const EffectRect rect = horizontal ? EffectRect{10, 5, 42, 9} : EffectRect{10, 5, 14, 37};
        const auto fills = SolidAndGradientFills(effect, rect, {kBlack, kGrey, kWhite});
        ASSERT_EQ(fills.size(), 32u) << effect;
        for (std::size_t i = 0; i < fills.size(); ++i) {
            const EffectRect& band = fills[i].rect;
            EXPECT_EQ(horizontal ? band.right - band.left : band.bottom - band.top, 1);
            EXPECT_EQ(horizontal ? band.left : band.top, (horizontal ? 10 : 5) + int(i));
            if (i > 0) {
                EXPECT_GT(RedOf(fills[i].pixel), RedOf(fills[i - 1].pixel));
            }
        }
    }
}

TEST(GradientTest, SolidAndUnknownEffectsFillWithColourOne) {
    const EffectRect rect{0, 0, 7, 3};
    for (int effect : {kEffectSolid, 99, kEffectTransparent, -42}) {
        const auto fills = SolidAndGradientFills(effect, rect, {0x123456, kGrey, kWhite});
        ASSERT_EQ(fills.size(), 1u) << effect;
        EXPECT_EQ(fills[0], (SolidFill{rect, 0x123456})) << effect;
    }
    EXPECT_TRUE(SolidAndGradientFills(kEffectHGradient, {5, 0, 5, 9}, {}).empty());
}

struct SplitRow {
    const char* name;
    int effect;
    int extent;
};

class SplitGradientTest : public testing::TestWithParam<SplitRow> {};

// Each half runs on its own: every pixel painted once, the halves meeting at the rounded-down
// middle, the first half rising from black towards white and the second falling back.
TEST_P(SplitGradientTest, HalvesCoverTheRectOnceAndMeetAtTheMiddle) {
    const SplitRow row = GetParam();
    const bool horizontal = row.effect == kEffectHCGradient;
    const EffectRect rect =
        horizontal ? EffectRect{3, 0, 3 + row.extent, 2} : EffectRect{0, 3, 2, 3 + row.extent};
    const Painted painted =
        Paint(SolidAndGradientFills(row.effect, rect, {kBlack, 0, kWhite}), rect);
    for (int times : painted.times)
        ASSERT_EQ(times, 1);
    auto red = [&](int i) {
        return RedOf(horizontal ? painted.pixels.At(i, 0) : painted.pixels.At(0, i));
    };
    const int half = row.extent / 2;
    for (int i = 1; i < half; ++i)
        EXPECT_GE(red(i), red(i - 1)) << i;
    for (int i = half + 1; i < row.extent; ++i)
        EXPECT_LE(red(i), red(i - 1)) << i;
    if (half > 1) {
        EXPECT_GT(red(half - 1), red(0));
    }
    if (half >= 16) { // wide enough halves both reach close to the middle colour where they meet
        EXPECT_GE(red(half - 1), 255 - 16);
        EXPECT_GE(red(half), 255 - 16);
    }
}

INSTANTIATE_TEST_SUITE_P(OddExtents, SplitGradientTest,
                         testing::Values(SplitRow{"Across33", kEffectHCGradient, 33},
                                         SplitRow{"Across3", kEffectHCGradient, 3},
                                         SplitRow{"Across1", kEffectHCGradient, 1},
                                         SplitRow{"Down129", kEffectVCGradient, 129},
                                         SplitRow{"Down7", kEffectVCGradient, 7}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PaletteTest, RunsFromColourThreeToColourOneAndTintsTowardsColourOne) {
    const EffectColours colours{0xFF0000, 0x00FF00, 0x0000FF};
    const auto plain = EffectPalette(colours, 0);
    EXPECT_EQ(plain[0], 0x0000FFu);
    EXPECT_EQ(plain[255], 0xFF0000u);
    for (std::uint32_t entry : EffectPalette(colours, 100))
        ASSERT_EQ(entry, 0xFF0000u);
    EXPECT_EQ(EffectPalette(colours, 50)[0], 0x7F007Fu);
    EXPECT_EQ(EffectPalette(colours, 250), EffectPalette(colours, 100));
    EXPECT_EQ(EffectPalette(colours, -5), plain);
}

struct IndexRow {
    const char* name;
    int effect;
    int amplitude;
    long long row, column; // row counted from the bottom
    int expected;
};

class PatternIndexTest : public testing::TestWithParam<IndexRow> {};

TEST_P(PatternIndexTest, CornerOfAHundredSquare) {
    const IndexRow r = GetParam();
    EXPECT_EQ(PatternIndex(r.effect, r.row, r.column, 100, 100, r.amplitude), r.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Corners, PatternIndexTest,
    testing::Values(IndexRow{"HShadeBottom", kEffectHShade, 0, 0, 0, 0},
                    IndexRow{"HShadeTop", kEffectHShade, 0, 99, 0, 252},
                    IndexRow{"HShadeTopWithAmplitude", kEffectHShade, 20, 99, 50, 232},
                    IndexRow{"VShadeLeft", kEffectVShade, 0, 0, 0, 255},
                    IndexRow{"VShadeRight", kEffectVShade, 0, 0, 99, 2},
                    IndexRow{"DiagShadeTopLeft", kEffectDiagShade, 0, 99, 0, 252},
                    IndexRow{"DiagShadeBottomRight", kEffectDiagShade, 0, 0, 99, 1},
                    IndexRow{"HBumpBottom", kEffectHBump, 0, 0, 0, 3},
                    IndexRow{"HBumpTop", kEffectHBump, 0, 99, 0, 247},
                    IndexRow{"VBumpLeftHalfAmplitude", kEffectVBump, 64, 0, 0, 192},
                    IndexRow{"VBumpLeftEdgeHeldAtTheEnd", kEffectVBump, 0, 50, 0, 255},
                    IndexRow{"SoftBumpClampedToAmplitude", kEffectSoftBump, 100, 0, 99, 100},
                    IndexRow{"HardBumpInside", kEffectHardBump, 0, 50, 50, 128},
                    IndexRow{"HardBumpTopEdgeLight", kEffectHardBump, 0, 99, 50, 255},
                    IndexRow{"HardBumpBottomEdgeDark", kEffectHardBump, 0, 0, 50, 0},
                    IndexRow{"AmplitudeAboveRangeAs255", kEffectHShade, 300, 0, 0, 255}),
    [](const auto& info) { return std::string(info.param.name); });

// A palette that is (nearly) the identity on the red channel: index i shows red i.
PixelBuffer RenderWhole(int effect, int w, int h, int amplitude, const RandomSource& random) {
    const PalettePattern pattern(effect, w, h, {kWhite, kGrey, kBlack}, amplitude, 0, random);
    return pattern.RenderTile({0, 0, w, h}, random);
}

TEST(PatternNoiseTest, OffsetSpansMinusToPlusAmplitude) {
    const struct {
        int amplitude, randomValue, expectedRed;
    } rows[] = {{5, 0, 123}, {5, 32767, 133}, {0, 12345, 128}, {100000, 16383, 128}};
    for (const auto& row : rows) {
        const PixelBuffer pixels =
            RenderWhole(kEffectNoise, 2, 2, row.amplitude, [&] { return row.randomValue; });
        EXPECT_EQ(RedOf(pixels.At(1, 1)), row.expectedRed)
            << row.amplitude << " " << row.randomValue;
    }
}

TEST(PatternNoiseTest, HShadeWithoutAmplitudeRunsFromColourThreeToNearlyColourOne) {
    const PalettePattern pattern(kEffectHShade, 8, 64, {0x2040F0, kGrey, 0x10E020}, 0, 0,
                                 [] { return 777; });
    const PixelBuffer pixels = pattern.RenderTile({0, 0, 8, 64}, [] { return 777; });
    EXPECT_EQ(pixels.At(3, 63), 0x10E020u);
    const std::uint32_t top = pixels.At(3, 0);
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(int((top >> shift) & 0xFF), int((0x2040F0u >> shift) & 0xFF), 4) << shift;
}

TEST(PatternPlacementTest, HugeRectangleDrawsOnlyTheVisiblePart) {
    const PatternPlacement visible = PlacePattern({-50, -50, 99950, 99950}, {0, 0, 400, 300});
    EXPECT_EQ(visible.width, 100000);
    long long area = 0;
    for (const EffectRect& tile : visible.tiles) {
        EXPECT_LE(tile.right - tile.left, kMaxPatternTileSide);
        EXPECT_GE(tile.left, 50);
        area += 1LL * (tile.right - tile.left) * (tile.bottom - tile.top);
    }
    EXPECT_EQ(area, 400 * 300);
    const PatternPlacement unclipped =
        PlacePattern({INT32_MIN, 0, INT32_MAX, 10}, {INT32_MIN, 0, INT32_MAX, 10});
    EXPECT_EQ(unclipped.width, kMaxPatternExtent);
    EXPECT_EQ(unclipped.tiles.back().right, kMaxPatternVisibleSide);
    EXPECT_TRUE(PlacePattern({0, 0, 10, 10}, {20, 20, 30, 30}).tiles.empty());
}

TEST(PatternPlacementTest, MetalTilesAgreeWithOneWholeRendering) {
    unsigned counter = 0;
    const RandomSource lcg = [&] {
        return int((counter = counter * 214013 + 2531011) >> 16 & 0x7FFF);
    };
    const PalettePattern metal(kEffectMetal, 200, 150, {kWhite, kGrey, kBlack}, 3, 0, lcg);
    const RandomSource quiet = [] { return 0; };
    const PixelBuffer whole = metal.RenderTile({0, 0, 200, 150}, quiet);
    for (const EffectRect tile :
         {EffectRect{0, 0, 70, 40}, EffectRect{70, 40, 200, 150}, EffectRect{13, 90, 14, 150}}) {
        const PixelBuffer part = metal.RenderTile(tile, quiet);
        for (int y = tile.top; y < tile.bottom; ++y)
            for (int x = tile.left; x < tile.right; ++x)
                ASSERT_EQ(part.At(x - tile.left, y - tile.top), whole.At(x, y)) << x << "," << y;
    }
}

TEST(PixelTransformTest, Table) {
    const struct {
        const char* name;
        std::uint32_t actual, expected;
    } rows[] = {
        {"DarkenByOneUnchanged", Darken(0x12A0FF, 1.0), 0x12A0FF},
        {"DarkenHalf", Darken(0x12A0FF, 0.5), 0x09507F},
        {"DarkenNegativeUnchanged", Darken(0x12A0FF, -0.5), 0x12A0FF},
        {"LightenByZeroUnchanged", Lighten(0x12A0FF, 0), 0x12A0FF},
        {"LightenCapsAt255", Lighten(0x12A0FF, 1.0), 0x24FFFF},
        {"GreyStaysTheSameGrey", ToGrey(0x161616), 0x161616},
        {"GreyOfRed", ToGrey(0xFF0000), 0x4C4C4C},
        {"GreyKeepsCoverage", ToGrey(0x80FF0000), 0x804C4C4C},
        {"InvertKeepsTopByte", Invert(0xFF102030), 0xFFEFDFCF},
        {"BlendHalves", Blend(0xFF0000, 0.5, 0x0000FF, 0.5), 0x7F007F},
        {"BlendSaturates", Blend(0xC0C0C0, 1.0, 0xC0C0C0, 1.0), 0xFFFFFF},
        {"BlendNegativeIsZero", Blend(0x808080, -1.0, 0, 0), 0x000000},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.name;
}

TEST(StyledLineTest, DoubleLineIsOffsetByTwiceTheWidthAndNoneDrawsNothing) {
    const auto horizontal = PlanStyledLine(0, 10, 50, 12, kLineDouble, 2);
    ASSERT_TRUE(horizontal);
    EXPECT_EQ(horizontal->segments.back(), (LineSegment{0, 14, 50, 16}));
    const auto vertical = PlanStyledLine(5, 0, 6, 40, kLineDouble, 1);
    ASSERT_TRUE(vertical);
    EXPECT_EQ(vertical->segments.back(), (LineSegment{7, 0, 8, 40}));
    EXPECT_EQ(PlanStyledLine(0, 0, 9, 0, kLineDashDot, 1)->dash, PenDash::DashDot);
    EXPECT_EQ(
        PlanStyledLine(0, INT32_MAX - 1, 9, INT32_MAX, kLineDouble, 100000)->segments.back().toY,
        INT32_MAX);
    for (auto [style, width] : {std::pair{kLineNone, 3}, {7, 3}, {-1, 3}, {kLineSolid, 0}})
        EXPECT_FALSE(PlanStyledLine(0, 0, 9, 0, style, width)) << style << " " << width;
}

TEST(EffectNameTest, TableNamesOnly) {
    EXPECT_EQ(EffectNumberFromName(L"HGradient"), kEffectHGradient);
    EXPECT_EQ(EffectNumberFromName(L"3vgradient"), kEffect3VGradient);
    EXPECT_EQ(EffectNumberFromName(L"transparent"), kEffectTransparent);
    EXPECT_EQ(EffectNumberFromName(L"METAL"), kEffectMetal);
    for (const wchar_t* other : {L"", L"12", L"metal ", L"gradient"})
        EXPECT_FALSE(EffectNumberFromName(other)) << other;
}

TEST(CompositeImageTest, StyledCoveredPixelsAndShadowOverTheBackground) {
    PixelBuffer background(3, 2, kWhite);
    PixelBuffer image(2, 1);
    image.pixels = {0xFFFF0000, 0x00123456}; // opaque red, transparent
    CompositeImage(background, 0, 0, image, ImageStyleFromLetters(L"gs"), {1, kBlack, 50});
    EXPECT_EQ(background.At(0, 0), 0x4C4C4Cu) << "grey red";
    EXPECT_EQ(background.At(1, 0), kWhite) << "transparent pixel leaves the background";
    EXPECT_EQ(background.At(1, 1), 0x7F7F7Fu) << "half shadow under the red pixel";
    EXPECT_EQ(background.At(2, 1), kWhite) << "no shadow of the transparent pixel";
}

} // namespace
} // namespace dp
