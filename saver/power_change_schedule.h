// When the dimmer re-applies its level after power broadcasts: each qualifying broadcast
// applies once, three seconds after it (long enough for the system to settle on the new power
// source and its own brightness, which is captured first).
//
// A storm of broadcasts must not pile up without limit, so at most kMaxPending applies wait at
// once. A broadcast that finds the list full moves the last waiting apply to three seconds
// after itself: the earlier ones keep their times, and the latest broadcast is always followed
// by an apply, which is the one that matters because it reads the power source then in force.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>

#include "saver/wait_clock.h"

namespace dp {

class PowerChangeSchedule {
public:
    using TimePoint = WaitClock::TimePoint;

    static constexpr std::chrono::milliseconds kApplyDelay{3000};
    static constexpr std::size_t kMaxPending = 10;

    // broadcastTime: when the broadcast arrived; not earlier than any broadcast before it.
    void Add(TimePoint broadcastTime);

    // When the earliest waiting apply is due; nothing when none waits.
    std::optional<TimePoint> NextDue() const;

    // Removes the earliest waiting apply if it is due at `now`; returns whether one was.
    bool TakeDue(TimePoint now);

    std::size_t Pending() const { return due_.size(); }
    void Clear() { due_.clear(); }

private:
    std::deque<TimePoint> due_;
};

} // namespace dp
