#include "framework/dpi_scale.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

struct ScaleRow {
    const char* name;
    int pixels;
    int dpi;
    int scaled;
};

class ScaleToDpiTest : public testing::TestWithParam<ScaleRow> {};

TEST_P(ScaleToDpiTest, GrowsInProportionRoundedLikeMulDiv) {
    EXPECT_EQ(ScaleToDpi(GetParam().pixels, GetParam().dpi), GetParam().scaled);
}

INSTANTIATE_TEST_SUITE_P(
    Resolutions, ScaleToDpiTest,
    testing::Values(ScaleRow{"At96Unchanged", 14, 96, 14},
                    ScaleRow{"At120HalfRoundsUp", 14, 120, 18}, ScaleRow{"At144", 11, 144, 17},
                    ScaleRow{"At192", 23, 192, 46},
                    ScaleRow{"NegativeRoundsAwayFromZero", -11, 144, -17},
                    ScaleRow{"FailedQueryReadsAs96", 14, 0, 14},
                    ScaleRow{"NoDisplayHasThatReadsAs96", 14, 100000, 14},
                    ScaleRow{"HugeValueSaturates", 2000000000, 192, 2147483647}),
    [](const auto& info) { return std::string(info.param.name); });

struct FontRow {
    const char* name;
    int points;
    int dpi;
    int height;
};

class FontHeightTest : public testing::TestWithParam<FontRow> {};

TEST_P(FontHeightTest, IsTheNegativeCharacterHeight) {
    EXPECT_EQ(FontHeightForPoints(GetParam().points, GetParam().dpi), GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(Resolutions, FontHeightTest,
                         testing::Values(FontRow{"EightPointAt96", 8, 96, -11},
                                         FontRow{"EightPointAt120", 8, 120, -13},
                                         FontRow{"EightPointAt144", 8, 144, -16},
                                         FontRow{"EightPointAt192", 8, 192, -21},
                                         FontRow{"TenPointAt144", 10, 144, -20}),
                         [](const auto& info) { return std::string(info.param.name); });

// The icon cell of the message box: the icon's size at the resolution, read back as 96-dpi
// pixels and grown again by the renderer, must come out as the icon's size.
TEST(DpiScaleTest, IconSizesSurviveTheRoundTrip) {
    for (const auto& [dpi, icon] : {std::pair{96, 32}, {120, 40}, {144, 48}, {192, 64}}) {
        EXPECT_EQ(ScaleFromDpi(icon, dpi), 32) << dpi;
        EXPECT_EQ(ScaleToDpi(ScaleFromDpi(icon, dpi), dpi), icon) << dpi;
    }
}

TEST(DpiScaleTest, SystemMetricsMoveBetweenResolutions) {
    EXPECT_EQ(RescaleDpi(-11, 96, 144), -17) << "a font height keeps its sign";
    EXPECT_EQ(RescaleDpi(48, 144, 96), 32);
    EXPECT_EQ(RescaleDpi(19, 96, 0), 19) << "a failed query changes nothing";
}

TEST(DpiScaleTest, ABoxLaidOutAnewKeepsTheSuggestedCornerAndTakesItsOwnSize) {
    EXPECT_EQ(RectForNewLayout({-900, 50, -600, 250}, 450, 300), (DpiRect{-900, 50, -450, 350}));
}

} // namespace
} // namespace dp
