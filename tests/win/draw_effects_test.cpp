// The effects' GDI side as Wine runs it: nothing left selected or allocated, the clip box
// honoured, rectangles of any size drawn in bounded memory, styled images, and the golden-image
// comparison the picture tests rely on.
#include "effects/win32/dib_section.h"
#include "effects/win32/draw_effects_win32.h"
#include "testing/golden/golden_image.h"
#include "testing/golden/png_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace dp {
namespace {

constexpr std::uint32_t kBackground = 0xFF00FF; // never a colour of the effects below

int CountPixels(const PixelBuffer& pixels, std::uint32_t value) {
    return static_cast<int>(std::count(pixels.pixels.begin(), pixels.pixels.end(), value));
}

// A process may hold 10,000 GDI objects on Windows and 65,536 under Wine: the fills and lines
// below make and free more brushes and pens than that, so that a leak makes the last drawing
// fail. (Memory DCs are too slow under Wine, about 0.1 ms each, to go past the limit in a test.)
constexpr int kMoreObjectsThanAProcessMayHold = 70000;

TEST(DrawEffectsGdiTest, RepeatedDrawingLeavesTheDcAsItWasAndLeaksNothing) {
    DibSection canvas(64, 32);
    ASSERT_TRUE(canvas.ok());
    HDC dc = canvas.dc();
    const HGDIOBJ pen = ::GetCurrentObject(dc, OBJ_PEN);
    const HGDIOBJ bitmap = ::GetCurrentObject(dc, OBJ_BITMAP);
    ::MoveToEx(dc, 3, 4, nullptr);
    const RECT rect{0, 0, 64, 32};
    PixelBuffer picture(2, 2, 0x102030);
    UniqueGdiObject image(::CreateBitmap(2, 2, 1, 32, picture.pixels.data()));
    for (int made = 0; made < kMoreObjectsThanAProcessMayHold; made += 64) // a brush per band
        FillEffect(dc, kEffectHGradient, rect, RGB(0, 0, 0), 0, RGB(255, 255, 255), 0, 0);
    for (int made = 0; made < kMoreObjectsThanAProcessMayHold; made += 1)
        DrawStyledLine(dc, 0, 5, 60, 5, RGB(1, 2, 3), 1 + made % 6, 1 + made % 3);
    FillEffect(dc, kEffectMetal, rect, RGB(0, 0, 0), 0, RGB(255, 255, 255), 0, 0);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_PEN), pen);
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), bitmap);
    EXPECT_EQ(::GetBkMode(dc), OPAQUE);
    POINT position{};
    ::GetCurrentPositionEx(dc, &position);
    EXPECT_EQ(position.x, 3);
    EXPECT_EQ(position.y, 4);
    FillEffect(dc, kEffectVGradient, rect, RGB(10, 20, 30), 0, RGB(10, 20, 30), 0, 0);
    DrawStyledLine(dc, 0, 0, 64, 0, RGB(1, 2, 3), kLineSolid, 1);
    ASSERT_TRUE(DrawStyledBitmap(dc, static_cast<HBITMAP>(image.get()), {0, 30, 2, 32}, 0, {}, {}));
    const PixelBuffer pixels = canvas.Pixels();
    EXPECT_EQ(CountPixels(pixels, 0x0A141E), 64 * 31 - 4);
    EXPECT_EQ(CountPixels(pixels, 0x010203), 64);
    EXPECT_EQ(CountPixels(pixels, 0x102030), 4);
}

TEST(DrawEffectsGdiTest, PatternsFillOnlyWhatTheClipShowsWhateverTheRectangle) {
    DibSection canvas(64, 48);
    ASSERT_TRUE(canvas.ok());
    canvas.Fill(kBackground);
    FillEffect(canvas.dc(), kEffectMetal, {-50000, -50000, 50000, 50000}, RGB(250, 250, 250),
               RGB(128, 128, 128), RGB(5, 5, 5), 5, 0);
    EXPECT_EQ(CountPixels(canvas.Pixels(), kBackground), 0);

    canvas.Fill(kBackground);
    ::IntersectClipRect(canvas.dc(), 10, 10, 20, 30);
    FillEffect(canvas.dc(), kEffectNoise, {0, 0, 64, 48}, RGB(0, 0, 0), RGB(0, 0, 0), RGB(0, 0, 0),
               0, 0);
    ::SelectClipRgn(canvas.dc(), nullptr);
    EXPECT_EQ(CountPixels(canvas.Pixels(), 0x000000), 10 * 20);
    EXPECT_EQ(CountPixels(canvas.Pixels(), kBackground), 64 * 48 - 10 * 20);
}

TEST(DrawEffectsGdiTest, DashGapsShowWhatIsUnderneath) {
    DibSection canvas(40, 8);
    ASSERT_TRUE(canvas.ok());
    canvas.Fill(0xFFFFFF);
    ::SetBkColor(canvas.dc(), RGB(255, 0, 0));
    DrawStyledLine(canvas.dc(), 0, 2, 40, 2, RGB(0, 0, 0), kLineDashed, 1);
    const PixelBuffer pixels = canvas.Pixels();
    EXPECT_EQ(CountPixels(pixels, 0xFF0000), 0);
    EXPECT_GT(CountPixels(pixels, 0x000000), 10);
    EXPECT_GT(CountPixels(pixels, 0xFFFFFF), 40 * 8 - 40 + 5) << "no gaps in the dashes";
}

// A 2x2 bitmap (red, magenta mask / green, blue) scaled to 4x4, greyed, with a shadow.
TEST(DrawEffectsGdiTest, StyledBitmapKeepsMaskedPixelsAndCastsAShadow) {
    PixelBuffer picture(2, 2);
    picture.pixels = {0xFF0000, 0xFF00FF, 0x00FF00, 0x0000FF};
    UniqueGdiObject bitmap(::CreateBitmap(2, 2, 1, 32, picture.pixels.data()));
    ASSERT_TRUE(bitmap);

    DibSection canvas(8, 8);
    canvas.Fill(0xFFFFFF);
    ASSERT_TRUE(DrawStyledBitmap(canvas.dc(), static_cast<HBITMAP>(bitmap.get()), {1, 1, 5, 5},
                                 RGB(255, 0, 255), ImageStyleFromLetters(L"gs"),
                                 {2, 0x000000, 50}));
    const PixelBuffer out = canvas.Pixels();
    EXPECT_EQ(out.At(1, 1), ToGrey(0xFF0000));
    EXPECT_EQ(out.At(4, 1), 0xFFFFFFu) << "mask colour shows the background";
    EXPECT_EQ(out.At(4, 4), ToGrey(0x0000FF));
    EXPECT_EQ(out.At(6, 6), 0x7F7F7Fu) << "shadow of the blue pixel";
    EXPECT_EQ(out.At(0, 0), 0xFFFFFFu);
}

TEST(DrawEffectsGdiTest, IconCoverageComesFromItsMask) {
    HICON icon = ::LoadIconW(nullptr, IDI_INFORMATION);
    ASSERT_TRUE(icon);
    const std::optional<PixelBuffer> pixels = ImagePixelsFromIcon(icon, 32, 32);
    ASSERT_TRUE(pixels);
    int transparent = 0, opaque = 0;
    for (std::uint32_t p : pixels->pixels) {
        transparent += (p >> 24) == 0;
        opaque += (p >> 24) == 255;
    }
    EXPECT_GT(transparent, 50) << "corners of a round icon";
    EXPECT_GT(opaque, 300);
    EXPECT_FALSE(ImagePixelsFromIcon(nullptr, 32, 32));
    EXPECT_FALSE(ImagePixelsFromBitmap(nullptr, 32, 32, 0));
}

struct ToleranceRow {
    const char* name;
    int change;  // added to the red channel of the changed pixels
    int changed; // how many of the 100 pixels change
    GoldenTolerance tolerance;
    bool matches;
};

TEST(GoldenImageTest, ToleranceDecidesAndAMismatchLeavesTheImagesNamed) {
    const ToleranceRow rows[] = {
        {"Identical", 0, 0, {0, 0}, true},
        {"WithinChannel", 2, 1, {2, 0}, true},
        {"BeyondChannel", 3, 1, {2, 0}, false},
        {"BeyondChannelWithinShare", 3, 2, {2, 0.02}, true},
        {"BeyondShare", 3, 3, {2, 0.02}, false},
    };
    PixelBuffer base(10, 10, 0x204060);
    for (const ToleranceRow& row : rows) {
        PixelBuffer changed = base;
        for (int i = 0; i < row.changed; ++i)
            changed.pixels[i * 7] += static_cast<std::uint32_t>(row.change) << 16;
        EXPECT_EQ(Matches(CompareImages(base, changed, row.tolerance.channel), row.tolerance),
                  row.matches)
            << row.name;
    }
    EXPECT_FALSE(Matches(CompareImages(base, PixelBuffer(10, 9), 255), {255, 1.0}));

    ::_putenv("DP_UPDATE_GOLDENS=0"); // this name must never become a golden
    const testing::AssertionResult result = MatchesGolden(base, "missing-on-purpose");
    EXPECT_FALSE(result);
    EXPECT_NE(std::string(result.message()).find("golden-out/missing-on-purpose.actual.png"),
              std::string::npos)
        << result.message();
    const std::optional<PixelBuffer> written =
        LoadPng(GoldenOutputPath("missing-on-purpose.actual.png"));
    ASSERT_TRUE(written);
    EXPECT_EQ(written->pixels, base.pixels);
}

} // namespace
} // namespace dp
