#include "ui/link_rules.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

constexpr std::uint32_t kBlue = 0x00EE0000, kPurple = 0x008B1A55, kRed = 0x000000FF;

TEST(LinkRulesTest, TextColourFollowsThePointerThenTheLastClick) {
    const LinkColours colours;
    EXPECT_EQ(LinkTextColour(colours, false, false), kBlue);
    EXPECT_EQ(LinkTextColour(colours, false, true), kPurple);
    EXPECT_EQ(LinkTextColour(colours, true, false), kRed);
    EXPECT_EQ(LinkTextColour(colours, true, true), kRed) << "the pointer wins over visited";
}

struct FontRow {
    const char* name;
    int mode;
    LinkFont atRest, onEnter, onLeave, hovering;
};

class LinkFontTest : public testing::TestWithParam<FontRow> {};

TEST_P(LinkFontTest, UnderlineFollowsTheMode) {
    const FontRow& row = GetParam();
    EXPECT_EQ(FontForMode(row.mode), row.atRest);
    EXPECT_EQ(FontOnPointerEnter(row.mode), row.onEnter);
    EXPECT_EQ(FontOnPointerLeave(row.mode), row.onLeave);
    EXPECT_EQ(FontForState(row.mode, false), row.atRest);
    EXPECT_EQ(FontForState(row.mode, true), row.hovering);
}

using enum LinkFont;
INSTANTIATE_TEST_SUITE_P(
    Modes, LinkFontTest,
    testing::Values(
        FontRow{"Always", kUnderlineAlways, Underlined, Unchanged, Unchanged, Underlined},
        FontRow{"WhileHovering", kUnderlineWhileHovering, Plain, Underlined, Plain, Underlined},
        FontRow{"NeverWithZero", 0, Plain, Unchanged, Plain, Plain},
        FontRow{"NeverWithAnyOther", 7, Plain, Unchanged, Plain, Plain}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinkRulesTest, EnterAndSpaceOpenOncePerPress) {
    EXPECT_TRUE(OpensLink(0x0D, false));
    EXPECT_TRUE(OpensLink(0x20, false));
    EXPECT_FALSE(OpensLink(0x0D, true)) << "a held key repeats nothing";
    EXPECT_FALSE(OpensLink(0x09, false)) << "Tab moves on";
    EXPECT_TRUE(LinkTakesKey(0x0D)) << "Enter is the link's, not the default button's";
    EXPECT_FALSE(LinkTakesKey(0x1B)) << "Escape still closes the dialog";
}

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
