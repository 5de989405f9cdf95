#include "saver/password_delay.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct DelayRow {
    const char* name;
    std::uint32_t startTick;
    std::uint32_t nowTick;
    std::uint32_t delaySeconds;
    bool within;
};

class PasswordDelayTest : public testing::TestWithParam<DelayRow> {};

TEST_P(PasswordDelayTest, AsksNoPasswordWithinTheDelay) {
    const DelayRow& row = GetParam();
    EXPECT_EQ(WithinPasswordDelay(row.startTick, row.nowTick, row.delaySeconds), row.within);
}

INSTANTIATE_TEST_SUITE_P(
    Delays, PasswordDelayTest,
    testing::Values(DelayRow{"FiveSecondsReturnAfterFour", 1000, 5000, 5, true},
                    DelayRow{"FiveSecondsReturnAtFive", 1000, 6000, 5, true},
                    DelayRow{"FiveSecondsReturnJustAfter", 1000, 6001, 5, false},
                    DelayRow{"FiveSecondsReturnAfterAMinute", 1000, 61000, 5, false},
                    DelayRow{"NoDelayAtOnce", 1000, 1000, 0, true},
                    DelayRow{"NoDelayOneMillisecondLater", 1000, 1001, 0, false},
                    DelayRow{"TickWrappedWithinDelay", 0xFFFFF000u, 0x00000100u, 5, true},
                    DelayRow{"TickWrappedPastDelay", 0xFFFFF000u, 0x00002000u, 5, false},
                    DelayRow{"HugeDelayDoesNotWrapShort", 0, 0xFFFFFFFFu, 0xFFFFFFFFu, true},
                    DelayRow{"DelayJustPastThirtyTwoBits", 0, 10000, 4294968, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
