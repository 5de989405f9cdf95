#include "saver/overlay_alpha.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct AlphaRow {
    const char* name;
    int level;
    int alpha;
};

class OverlayAlphaTest : public testing::TestWithParam<AlphaRow> {};

TEST_P(OverlayAlphaTest, PaintsTheTruncatedProduct) {
    EXPECT_EQ(OverlayAlpha(GetParam().level), GetParam().alpha);
}

// Rows 20, 40, 60, 80 and 100 are the ones a product rounded to float gets one too high.
INSTANTIATE_TEST_SUITE_P(Levels, OverlayAlphaTest,
                         testing::Values(AlphaRow{"Zero", 0, 0}, AlphaRow{"Four", 4, 10},
                                         AlphaRow{"Twenty", 20, 50}, AlphaRow{"Forty", 40, 101},
                                         AlphaRow{"Fifty", 50, 127}, AlphaRow{"Sixty", 60, 152},
                                         AlphaRow{"Eighty", 80, 203}, AlphaRow{"Hundred", 100, 254},
                                         AlphaRow{"AboveRangeCountsAsHundred", 150, 254},
                                         AlphaRow{"JustAboveRange", 101, 254},
                                         AlphaRow{"NegativeCountsAsHundred", -1, 254},
                                         AlphaRow{"MostNegative", -2147483647 - 1, 254}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
