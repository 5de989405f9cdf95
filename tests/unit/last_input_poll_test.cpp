#include "saver/last_input_poll.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

struct PollRow {
    const char* name;
    std::uint32_t armedTick;
    std::uint32_t lastInputTick;
    bool ends;
};

class LastInputPollTest : public testing::TestWithParam<PollRow> {};

TEST_P(LastInputPollTest, EndsOnInputSinceArmed) {
    const PollRow& row = GetParam();
    LastInputPoll poll;
    poll.Arm(row.armedTick);
    EXPECT_EQ(poll.InputArrived(row.lastInputTick), row.ends);
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, LastInputPollTest,
    testing::Values(PollRow{"NoInputSinceStart", 5000, 1000, false},
                    PollRow{"InputSinceStart", 5000, 9000, true},
                    // The tick after the input came 100 ms or more later: still the user's return.
                    PollRow{"InputOneLateTickAgo", 5000, 8900, true},
                    PollRow{"InputJustBeforeArmed", 5000, 4990, false},
                    PollRow{"InputOnTheArmingTick", 5000, 5000, false},
                    PollRow{"InputJustAfterArmed", 5000, 5001, true},
                    PollRow{"TickWrappedSinceArmed", 0xFFFFFF00u, 0x00000010u, true},
                    PollRow{"WrappedTickMeetsOldInput", 0x00001000u, 0x00000F40u, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct HandledRow {
    const char* name;
    std::uint32_t handledTick;
    std::uint32_t lastInputTick;
    bool ends;
};

class HandledInputTest : public testing::TestWithParam<HandledRow> {};

TEST_P(HandledInputTest, InputTheWindowHandledDoesNotEndTheSaver) {
    const HandledRow& row = GetParam();
    LastInputPoll poll;
    poll.Arm(1000);
    poll.ArmAfterHandledInput(row.handledTick);
    EXPECT_EQ(poll.InputArrived(row.lastInputTick), row.ends);
}

INSTANTIATE_TEST_SUITE_P(
    Ticks, HandledInputTest,
    testing::Values(HandledRow{"TheHandledInputItself", 5000, 5000, false},
                    HandledRow{"ItsEchoAMomentLater", 5000, 5002, false},
                    HandledRow{"EchoAtTheEndOfTheGrace", 5000, 5100, false},
                    HandledRow{"NewInputAfterTheGrace", 5000, 5101, true},
                    HandledRow{"GraceAcrossTheTickWrap", 0xFFFFFFF0u, 0x00000005u, false},
                    HandledRow{"NewInputAcrossTheTickWrap", 0xFFFFFFF0u, 0x00000060u, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
