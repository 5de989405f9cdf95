#include "ui/button_row.h"

#include <gtest/gtest.h>

#include <string>

namespace dp {
namespace {

struct RowCase {
    const char* name;
    std::vector<int> needed;
    std::vector<PixelRect> fitted;
};

class FitButtonRowTest : public testing::TestWithParam<RowCase> {};

// The About dialog's row at 96 dpi: "Check for updates" 113 wide, a gap of 61, OK 95 wide.
TEST_P(FitButtonRowTest, GrowsWhatIsTooNarrowAndMovesTheRestAlong) {
    const std::vector<PixelRect> row{{11, 294, 124, 325}, {185, 294, 280, 325}};
    EXPECT_EQ(FitButtonRow(row, GetParam().needed), GetParam().fitted);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, FitButtonRowTest,
    testing::Values(
        RowCase{"EnglishFitsAsDesigned", {119, 32}, {{11, 294, 124, 325}, {185, 294, 280, 325}}},
        RowCase{"ExactlyFittingLabelStays", {113, 95}, {{11, 294, 124, 325}, {185, 294, 280, 325}}},
        RowCase{
            "LongLabelPushesTheNextAlong", {176, 32}, {{11, 294, 187, 325}, {248, 294, 343, 325}}},
        RowCase{
            "LastButtonGrowsToTheRight", {100, 120}, {{11, 294, 124, 325}, {185, 294, 305, 325}}},
        RowCase{"BothGrow", {123, 105}, {{11, 294, 134, 325}, {195, 294, 300, 325}}},
        RowCase{"MissingMeasureKeepsTheButton", {}, {{11, 294, 124, 325}, {185, 294, 280, 325}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
