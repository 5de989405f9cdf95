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

    // nowTick from GetTickCount, lastInputTick from GetLastInputInfo. True when input arrived
    // within the last poll interval and after the poll was armed; tick differences are taken
    // modulo 2^32.
    bool InputArrived(std::uint32_t nowTick, std::uint32_t lastInputTick) const;

private:
    std::uint32_t armedTick_ = 0;
};

} // namespace dp
