// The close thread's work, in its fixed order: brightness back first, then the workstation
// lock and a bounded wait for the locked desktop, then permission to close and WM_CLOSE.
#pragma once

#include <chrono>

namespace dp {

class SaverCloseProtocol;

// What the close sequence needs from the platform.
class CloseSequencePlatform {
public:
    virtual ~CloseSequencePlatform() = default;
    // The dimmer's StopWorkers: workers joined, overlay and controller released, so the
    // previous brightness is back.
    virtual void StopDimmer() = 0;
    // LockWorkStation; false when the request failed.
    virtual bool LockWorkStation() = 0;
    // Whether the input desktop can still be opened (OpenInputDesktop; the handle is closed
    // again). It cannot once the locked desktop is up.
    virtual bool InputDesktopOpens() = 0;
    // A monotonic clock and a sleep on it.
    virtual std::chrono::milliseconds Now() = 0;
    virtual void Pause(std::chrono::milliseconds duration) = 0;
    // PostMessage(WM_CLOSE) to the saver window.
    virtual void PostCloseMessage() = 0;
};

enum class LockOutcome {
    NotRequested,  // resume protection off
    LockFailed,    // LockWorkStation failed: nothing to wait for
    DesktopLocked, // the input desktop stopped opening
    WaitTimedOut,  // it kept opening (as under Wine): closed anyway
};

class CloseSequence {
public:
    static constexpr std::chrono::milliseconds kDesktopPollInterval{10};
    // Long enough for any real lock screen to come up; short enough that a system whose input
    // desktop always opens does not leave the saver window up for good.
    static constexpr std::chrono::milliseconds kLockWaitLimit{10000};

    CloseSequence(CloseSequencePlatform& platform, SaverCloseProtocol& protocol)
        : platform_(platform), protocol_(protocol) {}

    // The body of the close thread. protectOnResume is "Enable_resume_password_protect" != 0.
    LockOutcome Run(bool protectOnResume);

private:
    LockOutcome LockAndWait();
    bool WaitForLockedDesktop();

    CloseSequencePlatform& platform_;
    SaverCloseProtocol& protocol_;
};

} // namespace dp
