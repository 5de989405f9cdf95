#include "saver/close_protocol.h"

#include "saver/password_delay.h"

namespace dp {

bool SaverCloseProtocol::BeginClose(const std::function<bool()>& startCloseThread) {
    // A held lock means a close is being started right now: that one is enough.
    std::unique_lock lock(closeLock_, std::try_to_lock);
    if (!lock.owns_lock())
        return false;
    if (closeStarted_.load() || verifying_.load())
        return false;
    if (!startCloseThread())
        return false;
    closeStarted_.store(true);
    return true;
}

void SaverCloseProtocol::PermitClose() {
    closePermitted_.store(true);
}

CloseAction SaverCloseProtocol::OnCloseMessage(std::uint32_t startTick, std::uint32_t nowTick,
                                               std::uint32_t passwordDelaySeconds) {
    if (!closePermitted_.load())
        return CloseAction::Drop;
    if (verifying_.load()) {
        closedWhileVerifying_.store(true);
        return CloseAction::AfterVerifying;
    }
    if (WithinPasswordDelay(startTick, nowTick, passwordDelaySeconds))
        return CloseAction::Close;
    verifying_.store(true);
    return CloseAction::VerifyPassword;
}

CloseAction SaverCloseProtocol::EndVerifying(bool passed) {
    const bool closeArrived = closedWhileVerifying_.exchange(false);
    if (passed || closeArrived) {
        verifying_.store(false);
        return CloseAction::Close;
    }
    std::lock_guard lock(closeLock_);
    closePermitted_.store(false);
    closeStarted_.store(false);
    verifying_.store(false);
    return CloseAction::Stay;
}

} // namespace dp
