#include "saver/wait_clock.h"

namespace dp {

namespace {

class SteadyClockWait final : public WaitClock {
public:
    TimePoint Now() override { return std::chrono::steady_clock::now(); }

    void Wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
              std::optional<TimePoint> deadline) override {
        // Without a deadline, a plain wait: a wait_until on time_point::max() overflows in
        // some standard libraries and returns at once, which would make a busy loop.
        if (deadline)
            wake.wait_until(lock, *deadline);
        else
            wake.wait(lock);
    }
};

} // namespace

WaitClock& SteadyWaitClock() {
    static SteadyClockWait clock;
    return clock;
}

} // namespace dp
