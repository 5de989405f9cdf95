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

// The About dialog's row at 96 dpi: "Check for updates" 131 wide, a gap of 63, OK 110 wide.
TEST_P(FitButtonRowTest, GrowsWhatIsTooNarrowAndMovesTheRestAlong) {
    const std::vector<PixelRect> row{{11, 294, 142, 325}, {205, 294, 315, 325}};
    EXPECT_EQ(FitButtonRow(row, GetParam().needed), GetParam().fitted);
}

INSTANTIATE_TEST_SUITE_P(
    Labels, FitButtonRowTest,
    testing::Values(
        RowCase{"EnglishFitsAsDesigned", {119, 32}, {{11, 294, 142, 325}, {205, 294, 315, 325}}},
        RowCase{
            "ExactlyFittingLabelStays", {131, 110}, {{11, 294, 142, 325}, {205, 294, 315, 325}}},
        RowCase{"FrenchPushesTheNextAlong", {179, 32}, {{11, 294, 190, 325}, {253, 294, 363, 325}}},
        RowCase{
            "LastButtonGrowsToTheRight", {100, 130}, {{11, 294, 142, 325}, {205, 294, 335, 325}}},
        RowCase{"BothGrow", {141, 120}, {{11, 294, 152, 325}, {215, 294, 335, 325}}},
        RowCase{"MissingMeasureKeepsTheButton", {}, {{11, 294, 142, 325}, {205, 294, 315, 325}}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
