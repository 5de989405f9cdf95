#include "saver/mouse_threshold.h"

#include <gtest/gtest.h>

#include <limits>

namespace dp {
namespace {

struct ThresholdRow {
    const char* name;
    std::int32_t threshold;
    ScreenPoint start;
    ScreenPoint cursor;
    bool beyond;
};

class MouseThresholdTest : public testing::TestWithParam<ThresholdRow> {};

TEST_P(MouseThresholdTest, LeavesTheBoxOnlyStrictlyBeyondTheThreshold) {
    const ThresholdRow& row = GetParam();
    MouseThresholdBox box;
    box.SetThreshold(row.threshold);
    box.Reset(row.start);
    EXPECT_EQ(box.MovedBeyond(row.cursor), row.beyond);
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

INSTANTIATE_TEST_SUITE_P(
    Moves, MouseThresholdTest,
    testing::Values(ThresholdRow{"Unmoved", 3, {100, 100}, {100, 100}, false},
                    ThresholdRow{"ThreeEachWayStays", 3, {100, 100}, {103, 97}, false},
                    ThresholdRow{"ThreeBothAxesNegativeStays", 3, {100, 100}, {97, 97}, false},
                    ThresholdRow{"FourRightEnds", 3, {100, 100}, {104, 100}, true},
                    ThresholdRow{"FourLeftEnds", 3, {100, 100}, {96, 100}, true},
                    ThresholdRow{"FourDownEnds", 3, {100, 100}, {100, 104}, true},
                    ThresholdRow{"FourUpEnds", 3, {100, 100}, {100, 96}, true},
                    ThresholdRow{"AcrossMonitorLeftOfPrimary", 3, {-2, 5}, {2, 5}, true},
                    ThresholdRow{"ZeroThresholdAnyPixelEnds", 0, {10, 10}, {10, 11}, true},
                    ThresholdRow{"NegativeThresholdEndsUnmoved", -1, {10, 10}, {10, 10}, true},
                    ThresholdRow{"ExtremesDoNotWrap", kMax, {kMin, 0}, {kMax, 0}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Until a cursor read succeeds there is no reference: the first position seen becomes it, so
// a failed read at creation cannot make the first mouse message end the saver.
TEST(MouseThresholdBoxTest, WithoutAReferenceTheFirstPositionSeenBecomesIt) {
    MouseThresholdBox box;
    EXPECT_FALSE(box.MovedBeyond({500, 400}));
    EXPECT_FALSE(box.MovedBeyond({503, 400}));
    EXPECT_TRUE(box.MovedBeyond({504, 400}));
    box.Reset({0, 0});
    ASSERT_TRUE(box.MovedBeyond({50, 0}));
    box.Reset({50, 0});
    EXPECT_FALSE(box.MovedBeyond({52, 1}));
}

} // namespace
} // namespace dp
