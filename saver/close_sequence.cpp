#include "saver/close_sequence.h"

#include "saver/close_protocol.h"

namespace dp {

LockOutcome CloseSequence::Run(bool protectOnResume) {
    platform_.StopDimmer();
    const LockOutcome outcome = protectOnResume ? LockAndWait() : LockOutcome::NotRequested;
    protocol_.PermitClose();
    platform_.PostCloseMessage();
    return outcome;
}

LockOutcome CloseSequence::LockAndWait() {
    if (!platform_.LockWorkStation())
        return LockOutcome::LockFailed;
    return WaitForLockedDesktop() ? LockOutcome::DesktopLocked : LockOutcome::WaitTimedOut;
}

// Closing the window before the lock screen is up would show the desktop for a moment.
bool CloseSequence::WaitForLockedDesktop() {
    const std::chrono::milliseconds deadline = platform_.Now() + kLockWaitLimit;
    while (platform_.InputDesktopOpens()) {
        if (platform_.Now() >= deadline)
            return false;
        platform_.Pause(kDesktopPollInterval);
    }
    return true;
}

} // namespace dp
