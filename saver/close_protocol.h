// The run-once close protocol of the saver window: which input starts the close sequence,
// which WM_CLOSE is obeyed, and what a refused password leaves behind.
//
// One object per process (the saver window holds it; there is one saver window per process).
// BeginClose and the close-message calls run on the window thread; PermitClose runs on the close
// thread just before it posts WM_CLOSE.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

namespace dp {

enum class CloseAction {
    Drop,           // not from the close thread: ignore it
    Close,          // default processing: the window is destroyed
    VerifyPassword, // run the password check, then call EndVerifying
    Stay,           // the password was refused: the window stays
    // Arrived while the check runs (its message loop dispatches it): nothing now, since the
    // check's caller still uses the window; EndVerifying then closes.
    AfterVerifying,
};

class SaverCloseProtocol {
public:
    // Starts the close sequence unless one is already under way, or a password check runs.
    // startCloseThread is called under the close lock and reports whether the thread started;
    // a thread that failed to start leaves the protocol armed, so that the next input tries
    // again. Returns whether a close sequence was started by this call.
    bool BeginClose(const std::function<bool()>& startCloseThread);

    // The close thread has restored the brightness (and locked the station): WM_CLOSE posted
    // after this is obeyed.
    void PermitClose();

    // On WM_CLOSE. startTick and nowTick are GetTickCount values; passwordDelaySeconds is the
    // system's "Password Delay". Returns VerifyPassword with the verifying state set.
    CloseAction OnCloseMessage(std::uint32_t startTick, std::uint32_t nowTick,
                               std::uint32_t passwordDelaySeconds);

    // After the password check that OnCloseMessage asked for. Close when it passed or when a
    // WM_CLOSE arrived during the check (the caller closes as its last act). Refused: the saver
    // window stays, and the protocol is armed again so that the user's next input runs the close
    // sequence (and asks for the password) once more. The caller renews the threshold box and
    // re-arms the input poll and its timer.
    CloseAction EndVerifying(bool passed);

    bool Verifying() const { return verifying_.load(); }
    bool CloseStarted() const { return closeStarted_.load(); }

private:
    std::mutex closeLock_;
    std::atomic<bool> closeStarted_{false};
    std::atomic<bool> closePermitted_{false};
    std::atomic<bool> verifying_{false};
    std::atomic<bool> closedWhileVerifying_{false};
};

} // namespace dp
