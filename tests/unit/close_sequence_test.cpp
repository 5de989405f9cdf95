#include "saver/close_sequence.h"

#include "saver/close_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

using std::chrono::milliseconds;

// Records each platform call; the input desktop stops opening after a set number of polls.
class RecordingPlatform final : public CloseSequencePlatform {
public:
    RecordingPlatform(SaverCloseProtocol& protocol, bool lockSucceeds, int opensBeforeLocked)
        : protocol_(protocol), lockSucceeds_(lockSucceeds), opensLeft_(opensBeforeLocked) {}

    void StopDimmer() override { calls.push_back("StopDimmer"); }
    bool LockWorkStation() override {
        calls.push_back("LockWorkStation");
        return lockSucceeds_;
    }
    bool InputDesktopOpens() override {
        ++desktopPolls;
        if (opensLeft_ < 0)
            return true;
        return opensLeft_-- > 0;
    }
    milliseconds Now() override { return now; }
    void Pause(milliseconds duration) override { now += duration; }
    void PostCloseMessage() override {
        calls.push_back("PostCloseMessage");
        permittedWhenPosted = protocol_.OnCloseMessage(0, 0, 0) == CloseAction::Close;
    }

    std::vector<std::string> calls;
    int desktopPolls = 0;
    milliseconds now{123456};
    bool permittedWhenPosted = false;

private:
    SaverCloseProtocol& protocol_;
    bool lockSucceeds_;
    int opensLeft_; // negative: opens for ever, as under Wine
};

constexpr int kForever = -1;

struct SequenceRow {
    const char* name;
    bool protect;
    bool lockSucceeds;
    int opensBeforeLocked;
    LockOutcome outcome;
    std::vector<std::string> calls;
    int desktopPolls;
    milliseconds waited;
};

class CloseSequenceTest : public testing::TestWithParam<SequenceRow> {};

TEST_P(CloseSequenceTest, RestoresFirstLocksThenCloses) {
    const SequenceRow& row = GetParam();
    SaverCloseProtocol protocol;
    RecordingPlatform platform(protocol, row.lockSucceeds, row.opensBeforeLocked);
    const milliseconds started = platform.now;

    EXPECT_EQ(CloseSequence(platform, protocol).Run(row.protect), row.outcome);

    EXPECT_EQ(platform.calls, row.calls);
    EXPECT_EQ(platform.desktopPolls, row.desktopPolls);
    EXPECT_EQ(platform.now - started, row.waited);
    EXPECT_TRUE(platform.permittedWhenPosted);
}

const std::vector<std::string> kUnlocked{"StopDimmer", "PostCloseMessage"};
const std::vector<std::string> kLocked{"StopDimmer", "LockWorkStation", "PostCloseMessage"};

INSTANTIATE_TEST_SUITE_P(
    Protection, CloseSequenceTest,
    testing::Values(SequenceRow{"ProtectionOff", false, true, 0, LockOutcome::NotRequested,
                                kUnlocked, 0, milliseconds{0}},
                    SequenceRow{"LockedDesktopAtOnce", true, true, 0, LockOutcome::DesktopLocked,
                                kLocked, 1, milliseconds{0}},
                    SequenceRow{"LockedDesktopAfterThreePolls", true, true, 3,
                                LockOutcome::DesktopLocked, kLocked, 4, milliseconds{30}},
                    SequenceRow{"LockFailedDoesNotWait", true, false, kForever,
                                LockOutcome::LockFailed, kLocked, 0, milliseconds{0}},
                    SequenceRow{"DesktopAlwaysOpensWaitIsBounded", true, true, kForever,
                                LockOutcome::WaitTimedOut, kLocked, 1001, milliseconds{10000}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace dp
