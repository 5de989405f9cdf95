// Every background effect and line style drawn through GDI on one sheet, compared with
// tests/golden/effects.png. The random patterns are seeded per tile, so the sheet repeats.
#include "effects/win32/dib_section.h"
#include "effects/win32/draw_effects_win32.h"
#include "testing/golden/golden_image.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace dp {
namespace {

constexpr int kTileWidth = 48, kTileHeight = 32, kGap = 6, kColumns = 4;
constexpr COLORREF kColour1 = RGB(250, 230, 160), kColour2 = RGB(90, 150, 220),
                   kColour3 = RGB(20, 30, 90);

struct Tile {
    int effect, amplitude, tint;
};

// Effects 0-15 plain, then patterns with noise amplitude and tint.
constexpr Tile kTiles[] = {
    {0, 0, 0},  {1, 0, 0},  {2, 0, 0},  {3, 0, 0},    {4, 0, 0},    {5, 0, 0},  {6, 0, 0},
    {7, 0, 0},  {8, 0, 0},  {9, 0, 0},  {10, 0, 0},   {11, 0, 0},   {12, 0, 0}, {13, 0, 0},
    {14, 0, 0}, {15, 0, 0}, {7, 40, 0}, {13, 10, 40}, {14, 20, 25}, {15, 5, 0},
};
constexpr int kRows = (std::size(kTiles) + kColumns - 1) / kColumns;
constexpr int kSheetWidth = kColumns * kTileWidth + (kColumns + 1) * kGap;
constexpr int kLinesTop = kRows * (kTileHeight + kGap) + kGap;
constexpr int kLineSpacing = 12;
constexpr int kSheetHeight = kLinesTop + 6 * kLineSpacing + kGap;

void DrawTiles(HDC dc) {
    for (int i = 0; i < static_cast<int>(std::size(kTiles)); ++i) {
        const int left = kGap + (i % kColumns) * (kTileWidth + kGap);
        const int top = kGap + (i / kColumns) * (kTileHeight + kGap);
        const RECT rect{left, top, left + kTileWidth, top + kTileHeight};
        std::srand(1000 + i);
        FillEffect(dc, kTiles[i].effect, rect, kColour1, kColour2, kColour3, kTiles[i].amplitude,
                   kTiles[i].tint);
    }
}

// Each style one pixel wide on the left, three pixels wide on the right.
void DrawLines(HDC dc) {
    const int middle = kSheetWidth / 2;
    for (int style = kLineSolid; style <= kLineDouble; ++style) {
        const int y = kLinesTop + (style - 1) * kLineSpacing;
        DrawStyledLine(dc, kGap, y, middle - kGap, y, RGB(0, 0, 128), style, 1);
        DrawStyledLine(dc, middle + kGap, y, kSheetWidth - kGap, y, RGB(128, 0, 0), style, 3);
    }
}

TEST(DrawEffectsGoldenTest, EveryEffectAndLineStyleOnOneSheet) {
    DibSection sheet(kSheetWidth, kSheetHeight);
    ASSERT_TRUE(sheet.ok());
    sheet.Fill(0xFFFFFF);
    DrawTiles(sheet.dc());
    DrawLines(sheet.dc());
    EXPECT_TRUE(MatchesGolden(sheet.Pixels(), "effects"));
}

} // namespace
} // namespace dp
