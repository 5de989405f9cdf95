#include "saver/close_protocol.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace dp {
namespace {

constexpr std::uint32_t kStart = 10000;
constexpr std::uint32_t kDelay = 5;

// Counts close threads "started" by BeginClose.
struct CloseThreadStarter {
    std::atomic<int> started{0};
    bool succeeds = true;
    std::function<bool()> Fn() {
        return [this] {
            ++started;
            return succeeds;
        };
    }
};

TEST(SaverCloseProtocolTest, BurstOfInputsStartsOneCloseSequence) {
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    int begun = 0;
    for (int input = 0; input < 50; ++input)
        begun += protocol.BeginClose(starter.Fn()) ? 1 : 0;
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(starter.started, 1);
    EXPECT_TRUE(protocol.CloseStarted());
}

TEST(SaverCloseProtocolTest, InputsFromManyThreadsStartOneCloseSequence) {
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    std::atomic<int> begun{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int input = 0; input < 500; ++input)
                begun += protocol.BeginClose(starter.Fn()) ? 1 : 0;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(starter.started, 1);
}

TEST(SaverCloseProtocolTest, CloseThreadThatFailedToStartLeavesTheNextInputToTry) {
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    starter.succeeds = false;
    EXPECT_FALSE(protocol.BeginClose(starter.Fn()));
    EXPECT_FALSE(protocol.CloseStarted());
    starter.succeeds = true;
    EXPECT_TRUE(protocol.BeginClose(starter.Fn()));
    EXPECT_EQ(starter.started, 2);
}

struct CloseRow {
    const char* name;
    bool permitted;
    std::uint32_t elapsedMs;
    CloseAction expected;
};

class CloseMessageTest : public testing::TestWithParam<CloseRow> {};

TEST_P(CloseMessageTest, DecidesWhatCloseDoes) {
    const CloseRow& row = GetParam();
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    protocol.BeginClose(starter.Fn());
    if (row.permitted)
        protocol.PermitClose();
    EXPECT_EQ(protocol.OnCloseMessage(kStart, kStart + row.elapsedMs, kDelay), row.expected);
    EXPECT_EQ(protocol.Verifying(), row.expected == CloseAction::VerifyPassword);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CloseMessageTest,
    testing::Values(CloseRow{"NotFromCloseThreadDropped", false, 1000, CloseAction::Drop},
                    CloseRow{"NotFromCloseThreadLateDropped", false, 60000, CloseAction::Drop},
                    CloseRow{"WithinPasswordDelayCloses", true, 4000, CloseAction::Close},
                    CloseRow{"AtPasswordDelayCloses", true, 5000, CloseAction::Close},
                    CloseRow{"PastPasswordDelayVerifies", true, 5001, CloseAction::VerifyPassword}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs one close sequence up to the password check.
void CloseUntilVerifying(SaverCloseProtocol& protocol, CloseThreadStarter& starter) {
    ASSERT_TRUE(protocol.BeginClose(starter.Fn()));
    protocol.PermitClose();
    ASSERT_EQ(protocol.OnCloseMessage(kStart, kStart + 60000, kDelay), CloseAction::VerifyPassword);
}

TEST(SaverCloseProtocolTest, InputDuringPasswordCheckStartsNothing) {
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    CloseUntilVerifying(protocol, starter);
    EXPECT_FALSE(protocol.BeginClose(starter.Fn()));
    EXPECT_EQ(starter.started, 1);
}

struct CheckRow {
    const char* name;
    bool passed;
    bool closeDuringCheck; // a WM_CLOSE dispatched by the check's own message loop
    CloseAction expected;
};

class PasswordCheckTest : public testing::TestWithParam<CheckRow> {};

// A close arriving during the check is never carried out inside it (the window would be gone
// under the check's caller), but once the check has returned.
TEST_P(PasswordCheckTest, OutcomeOfTheCheck) {
    const CheckRow& row = GetParam();
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    CloseUntilVerifying(protocol, starter);
    if (row.closeDuringCheck) {
        EXPECT_EQ(protocol.OnCloseMessage(kStart, kStart + 60001, kDelay),
                  CloseAction::AfterVerifying);
    }
    EXPECT_EQ(protocol.EndVerifying(row.passed), row.expected);
    EXPECT_FALSE(protocol.Verifying());
}

INSTANTIATE_TEST_SUITE_P(
    Checks, PasswordCheckTest,
    testing::Values(CheckRow{"PassedCloses", true, false, CloseAction::Close},
                    CheckRow{"RefusedStays", false, false, CloseAction::Stay},
                    CheckRow{"PassedWithCloseDuringCheckCloses", true, true, CloseAction::Close},
                    CheckRow{"RefusedWithCloseDuringCheckCloses", false, true, CloseAction::Close}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaverCloseProtocolTest, AfterRefusedPasswordLaterInputEndsTheSaverAgain) {
    SaverCloseProtocol protocol;
    CloseThreadStarter starter;
    CloseUntilVerifying(protocol, starter);
    EXPECT_EQ(protocol.EndVerifying(false), CloseAction::Stay);
    EXPECT_FALSE(protocol.Verifying());

    // A stray WM_CLOSE after the refusal is not the close thread's.
    EXPECT_EQ(protocol.OnCloseMessage(kStart, kStart + 61000, kDelay), CloseAction::Drop);

    // The next burst of input runs the close sequence once more, and asks again.
    int begun = 0;
    for (int input = 0; input < 10; ++input)
        begun += protocol.BeginClose(starter.Fn()) ? 1 : 0;
    EXPECT_EQ(begun, 1);
    EXPECT_EQ(starter.started, 2);
    protocol.PermitClose();
    EXPECT_EQ(protocol.OnCloseMessage(kStart, kStart + 62000, kDelay), CloseAction::VerifyPassword);
    EXPECT_EQ(protocol.EndVerifying(true), CloseAction::Close);
}

} // namespace
} // namespace dp
