// The 100 ms poll of the system's last-input time, which ends the saver on input that never
// reaches its window (the window hidden, or not in the foreground).
#pragma once

#include <cstdint>

namespace dp {

class LastInputPoll {
public:
    // The period of the poll timer.
    static constexpr std::uint32_t kPollIntervalMs = 100;

    // Input counts only after this tick: at window creation, and again after a refused
    // password, so that the keystrokes typed into the password prompt do not end the saver
    // at the very next tick.
    void Arm(std::uint32_t nowTick) { armedTick_ = nowTick; }

    // Input that the window handled and that does not end the saver (a key held down, a mouse
    // move within the threshold) must not end it through the poll either. The system may record
    // that same input a moment after the window has seen it (under Wine the pointer's own echo
    // lands a millisecond or two later), so input within kHandledInputGraceMs after nowTick
    // counts as part of it. Input that matters still ends the saver: while the window handles
    // input, keys and buttons reach it as messages.
    static constexpr std::uint32_t kHandledInputGraceMs = 100;
    void ArmAfterHandledInput(std::uint32_t nowTick) {
        armedTick_ = nowTick + kHandledInputGraceMs;
    }

    // lastInputTick from GetLastInputInfo. True when input arrived after the poll was armed,
    // however long ago: a timer tick that comes a little late (WM_TIMER waits for an empty
    // queue, and a 100 ms timer often fires after 100 ms and a bit) must not let input that
    // fell just after the previous tick go unseen. Tick differences are taken modulo 2^32.
    bool InputArrived(std::uint32_t lastInputTick) const;

private:
    std::uint32_t armedTick_ = 0;
};

} // namespace dp
