#include "ui/link_rules.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct FitRow {
    const char* name;
    PixelRect window;
    PixelSize client;
    PixelSize text;
    std::uint32_t style;
    PixelRect fitted;
};

class FitRectToTextTest : public testing::TestWithParam<FitRow> {};

TEST_P(FitRectToTextTest, PlacesTheControlAroundItsText) {
    const FitRow& row = GetParam();
    EXPECT_EQ(FitRectToText(row.window, row.client, row.text, row.style), row.fitted);
}

// A 100 x 20 control at (10, 50); "bordered" ones have a 2-pixel border on every side.
INSTANTIATE_TEST_SUITE_P(
    Styles, FitRectToTextTest,
    testing::Values(
        FitRow{"LeftKeepsLeftAndTop", {10, 50, 110, 70}, {100, 20}, {40, 13}, 0, {10, 50, 50, 63}},
        FitRow{"BorderIsKept", {10, 50, 110, 70}, {96, 16}, {40, 13}, 0, {10, 50, 54, 67}},
        FitRow{"RightKeepsRightEdge",
               {10, 50, 110, 70},
               {100, 20},
               {40, 13},
               kStaticRight,
               {70, 50, 110, 63}},
        FitRow{"CenterKeepsMiddle",
               {10, 50, 110, 70},
               {100, 20},
               {40, 13},
               kStaticCenter,
               {40, 50, 80, 63}},
        FitRow{"CenterOddDifferenceLeavesOnePixelMore",
               {10, 50, 110, 70},
               {100, 20},
               {41, 13},
               kStaticCenter,
               {39, 50, 81, 63}},
        FitRow{"CenterGrowsOutwards",
               {10, 50, 110, 70},
               {100, 20},
               {121, 13},
               kStaticCenter,
               {0, 50, 120, 63}},
        FitRow{"CenterImageKeepsVerticalMiddle",
               {10, 50, 110, 70},
               {100, 20},
               {40, 13},
               kStaticCenterImage,
               {10, 53, 50, 67}},
        FitRow{"CenterBeatsRight",
               {10, 50, 110, 70},
               {100, 20},
               {40, 14},
               kStaticCenter | kStaticRight | kStaticCenterImage,
               {40, 53, 80, 67}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
