#include "saver/saver_messages.h"

#include <gtest/gtest.h>

namespace dp {
namespace {

using D = MessageDisposition;
using M = SaverMessage;

struct MessageRow {
    const char* name;
    SaverMessageFacts facts;
    MessageDecision expected;
};

std::string RowName(const testing::TestParamInfo<MessageRow>& info) {
    return info.param.name;
}

SaverMessageFacts Facts(M message) {
    return {message, false, false, false, 0};
}
SaverMessageFacts Verifying(M message) {
    return {message, true, false, false, 0};
}
SaverMessageFacts Moved(bool verifying) {
    return {M::MouseMove, verifying, true, false, 0};
}
SaverMessageFacts Deactivating(M message, bool verifying = false) {
    return {message, verifying, false, true, 0};
}
SaverMessageFacts SysCommand(std::uintptr_t command) {
    return {M::SysCommand, false, false, false, command};
}

constexpr MessageDecision kPassOn{D::PassOn, false, false};
constexpr MessageDecision kHandled{D::Handled, false, false};
constexpr MessageDecision kDefault{D::DefaultProcessing, false, false};
constexpr MessageDecision kCloseConsumed{D::Handled, true, false};
constexpr MessageDecision kCloseDrainRelease{D::Handled, true, true};
constexpr MessageDecision kCloseThenDefault{D::DefaultProcessing, true, false};
// Input that stays: the last-input poll must not count it either.
constexpr MessageDecision kKeyPressRearm{D::Handled, false, false, true};
constexpr MessageDecision kStayRearm{D::DefaultProcessing, false, false, true};

class BeforeDispatchTest : public testing::TestWithParam<MessageRow> {};

TEST_P(BeforeDispatchTest, Decides) {
    EXPECT_EQ(DecideBeforeDispatch(GetParam().facts), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    PreTranslate, BeforeDispatchTest,
    testing::Values(MessageRow{"MoveWithinThresholdGoesOn", Facts(M::MouseMove), kPassOn},
                    MessageRow{"MoveBeyondThresholdCloses", Moved(false), kCloseConsumed},
                    MessageRow{"LeftButtonCloses", Facts(M::LeftButtonDown), kCloseConsumed},
                    MessageRow{"MiddleButtonLeftToHandler", Facts(M::MiddleButtonDown), kPassOn},
                    MessageRow{"RightButtonLeftToHandler", Facts(M::RightButtonDown), kPassOn},
                    MessageRow{"KeyPressSwallowed", Facts(M::KeyDown), kKeyPressRearm},
                    MessageRow{"SysKeyPressSwallowed", Facts(M::SysKeyDown), kKeyPressRearm},
                    MessageRow{"KeyReleaseCloses", Facts(M::KeyUp), kCloseDrainRelease},
                    MessageRow{"SysKeyReleaseCloses", Facts(M::SysKeyUp), kCloseDrainRelease},
                    MessageRow{"OtherGoesOn", Facts(M::Other), kPassOn},
                    MessageRow{"DeactivationLeftToHandler", Deactivating(M::Activate), kPassOn}),
    RowName);

class InHandlerTest : public testing::TestWithParam<MessageRow> {};

TEST_P(InHandlerTest, Decides) {
    EXPECT_EQ(DecideInHandler(GetParam().facts), GetParam().expected);
}

constexpr MessageDecision kKeepFrame{D::KeepFrameActive, false, false};
constexpr MessageDecision kArrow{D::ArrowCursor, false, false};
constexpr MessageDecision kNoCursor{D::NoCursor, false, false};

INSTANTIATE_TEST_SUITE_P(
    Handlers, InHandlerTest,
    testing::Values(
        MessageRow{"MoveWithinThreshold", Facts(M::MouseMove), kStayRearm},
        MessageRow{"MoveBeyondThreshold", Moved(false), kCloseThenDefault},
        MessageRow{"MoveWhileVerifying", Moved(true), kStayRearm},
        MessageRow{"LeftButton", Facts(M::LeftButtonDown), kCloseThenDefault},
        MessageRow{"MiddleButton", Facts(M::MiddleButtonDown), kCloseThenDefault},
        MessageRow{"RightButton", Facts(M::RightButtonDown), kCloseThenDefault},
        MessageRow{"RightButtonWhileVerifying", Verifying(M::RightButtonDown), kDefault},
        MessageRow{"KeyPressNotEvenDefault", Facts(M::KeyDown), kKeyPressRearm},
        MessageRow{"SysKeyPressNotEvenDefault", Facts(M::SysKeyDown), kKeyPressRearm},
        MessageRow{"ActivateBecomingActive", Facts(M::Activate), kDefault},
        MessageRow{"ActivateBecomingInactive", Deactivating(M::Activate), kCloseThenDefault},
        MessageRow{"InactiveWhileVerifying", Deactivating(M::Activate, true), kDefault},
        MessageRow{"AppDeactivated", Deactivating(M::ActivateApp), kCloseThenDefault},
        MessageRow{"AppDeactivatedWhileVerifying", Deactivating(M::ActivateApp, true), kDefault},
        MessageRow{"FrameActivated", Facts(M::NcActivate), kDefault},
        MessageRow{"FrameDeactivationRefused", Deactivating(M::NcActivate), kKeepFrame},
        MessageRow{"FrameDeactivatedWhileVerifying", Deactivating(M::NcActivate, true), kDefault},
        MessageRow{"ScCloseDropped", SysCommand(0xF060), kHandled},
        MessageRow{"ScScreenSaveDropped", SysCommand(0xF140), kHandled},
        MessageRow{"ScCloseWithSystemBitsDropped", SysCommand(0xF063), kHandled},
        MessageRow{"ScMinimizeDefault", SysCommand(0xF020), kDefault},
        MessageRow{"ScMonitorPowerDefault", SysCommand(0xF170), kDefault},
        MessageRow{"CursorHidden", Facts(M::SetCursor), kNoCursor},
        MessageRow{"ArrowWhileVerifying", Verifying(M::SetCursor), kArrow},
        MessageRow{"OtherDefault", Facts(M::Other), kDefault}),
    RowName);

} // namespace
} // namespace dp
