// The clock that timed waits of the saver's worker threads use. Production code waits on the
// steady clock; tests drive a manual clock so that a three-second wait takes no time at all.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace dp {

class WaitClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~WaitClock() = default;

    virtual TimePoint Now() = 0;

    // Called with `lock` held (the mutex `wake` is used with). Blocks until `wake` is notified
    // or, when one is given, `deadline` has passed. May return early: callers re-check their
    // state and the time in a loop.
    virtual void Wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                      std::optional<TimePoint> deadline) = 0;
};

// The process's steady clock.
WaitClock& SteadyWaitClock();

} // namespace dp
