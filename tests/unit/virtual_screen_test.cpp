#include "saver/virtual_screen.h"

#include <gtest/gtest.h>

#include <limits>

namespace dp {
namespace {

struct ScreenRow {
    const char* name;
    ScreenMetrics metrics;
    ScreenRect expected;
};

class VirtualScreenTest : public testing::TestWithParam<ScreenRow> {};

TEST_P(VirtualScreenTest, CoversEveryMonitor) {
    const ScreenRect rect = SaverWindowRect(GetParam().metrics);
    const ScreenRect& expected = GetParam().expected;
    EXPECT_EQ(rect.left, expected.left);
    EXPECT_EQ(rect.top, expected.top);
    EXPECT_EQ(rect.right, expected.right);
    EXPECT_EQ(rect.bottom, expected.bottom);
}

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Layouts, VirtualScreenTest,
    testing::Values(
        ScreenRow{"SingleMonitor", {0, 0, 1024, 768, 1024, 768}, {0, 0, 1024, 768}},
        ScreenRow{
            "SecondMonitorRightOfPrimary", {0, 0, 3840, 1080, 1920, 1080}, {0, 0, 3840, 1080}},
        ScreenRow{
            "MonitorLeftOfPrimary", {-1280, 0, 3200, 1080, 1920, 1080}, {-1280, 0, 1920, 1080}},
        ScreenRow{"MonitorAbovePrimary", {0, -900, 1920, 1980, 1920, 1080}, {0, -900, 1920, 1080}},
        ScreenRow{"TallerMonitorLeftAndAbove",
                  {-1200, -520, 3120, 1600, 1920, 1080},
                  {-1200, -520, 1920, 1080}},
        ScreenRow{"NoVirtualScreenMetrics", {0, 0, 0, 0, 800, 600}, {0, 0, 800, 600}},
        ScreenRow{"NothingReported", {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0}},
        ScreenRow{
            "FarEdgeHeldInRange", {kMax - 10, 0, 100, 100, 800, 600}, {kMax - 10, 0, kMax, 100}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
