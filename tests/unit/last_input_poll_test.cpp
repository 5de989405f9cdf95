#include "saver/last_input_poll.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct PollRow {
    const char* name;
    std::uint32_t armedTick;
    std::uint32_t nowTick;
    std::uint32_t lastInputTick;
    bool ends;
};

class LastInputPollTest : public testing::TestWithParam<PollRow> {};

TEST_P(LastInputPollTest, EndsOnFreshInputSinceArmed) {
    const PollRow& row = GetParam();
    LastInputPoll poll;
    poll.Arm(row.armedTick);
    EXPECT_EQ(poll.InputArrived(row.nowTick, row.lastInputTick), row.ends);
}

INSTANTIATE_TEST_SUITE_P(Ticks, LastInputPollTest,
                         testing::Values(PollRow{"NoInputSinceStart", 5000, 9000, 1000, false},
                                         PollRow{"InputThisTick", 5000, 9000, 9000, true},
                                         PollRow{"InputWithinInterval", 5000, 9000, 8901, true},
                                         PollRow{"InputOneIntervalAgo", 5000, 9000, 8900, false},
                                         PollRow{"InputJustBeforeArmed", 5000, 5050, 4990, false},
                                         PollRow{"InputOnTheArmingTick", 5000, 5050, 5000, false},
                                         PollRow{"InputJustAfterArmed", 5000, 5050, 5001, true},
                                         PollRow{"TickWrappedSinceArmed", 0xFFFFFF00u, 0x00000020u,
                                                 0x00000010u, true},
                                         PollRow{"WrappedTickMeetsOldInput", 0x00001000u,
                                                 0x00000F80u, 0x00000F40u, false}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
