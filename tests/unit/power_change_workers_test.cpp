#include "saver/power_change_workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace dp {
namespace {

using std::chrono::milliseconds;
using TimePoint = WaitClock::TimePoint;

constexpr std::uintptr_t kPowerStatusChange = 0xA;
constexpr std::uintptr_t kSuspend = 0x4;

// A clock that moves only when a test advances it. Advance returns once the worker has seen the
// new time and gone back to waiting, so tests read the results without sleeping.
class ManualWaitClock final : public WaitClock {
public:
    TimePoint Now() override {
        std::lock_guard lock(mutex_);
        return now_;
    }

    void Wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
              std::optional<TimePoint> deadline) override {
        {
            std::lock_guard guard(mutex_);
            if (deadline && *deadline <= now_)
                return;
            waiter_ = Waiter{&wake, lock.mutex(), epoch_};
            changed_.notify_all();
        }
        wake.wait(lock);
        std::lock_guard guard(mutex_);
        waiter_.reset();
    }

    // Moves time on and waits until the worker has looked at it.
    void Advance(milliseconds step) {
        std::optional<Waiter> waiter;
        {
            std::lock_guard guard(mutex_);
            now_ += step;
            ++epoch_;
            waiter = waiter_;
        }
        if (waiter) {
            // Under the worker's mutex, so the notification cannot fall between its look at
            // the time and its wait.
            std::lock_guard workerLock(*waiter->mutex);
            waiter->wake->notify_all();
        }
        AwaitWorkerWaiting();
    }

    // Waits until the worker waits, having seen the current time.
    void AwaitWorkerWaiting() {
        std::unique_lock guard(mutex_);
        changed_.wait(guard, [this] { return waiter_ && waiter_->epoch == epoch_; });
    }

private:
    struct Waiter {
        std::condition_variable* wake;
        std::mutex* mutex;
        int epoch;
    };

    std::mutex mutex_;
    std::condition_variable changed_;
    TimePoint now_{std::chrono::hours(1)};
    int epoch_ = 0;
    std::optional<Waiter> waiter_;
};

// Records what the dimmer's hooks were asked to do, in order.
class HookLog {
public:
    DimmerHooks Hooks() {
        return {[this] { Add("save"); }, [this] { Add("apply"); }, [this] { Add("painter"); },
                [this] { Add("controller"); }};
    }
    std::vector<std::string> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    int Count(const std::string& event) const {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count(events_.begin(), events_.end(), event));
    }

private:
    void Add(const char* event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    mutable std::mutex mutex_;
    std::vector<std::string> events_;
};

using Events = std::vector<std::string>;

class PowerChangeWorkersTest : public testing::Test {
protected:
    ManualWaitClock clock;
    HookLog log;
    PowerChangeWorkers workers{log.Hooks(), clock};
};

TEST_F(PowerChangeWorkersTest, BroadcastAppliesOnceThreeSecondsLater) {
    workers.AcceptBroadcasts();
    ASSERT_TRUE(workers.OnPowerBroadcast(kPowerStatusChange));
    clock.AwaitWorkerWaiting();
    clock.Advance(milliseconds(2999));
    EXPECT_EQ(log.Events(), Events{});
    clock.Advance(milliseconds(1));
    EXPECT_EQ(log.Events(), (Events{"save", "apply"}));
    clock.Advance(milliseconds(60000));
    EXPECT_EQ(log.Count("apply"), 1);
}

TEST_F(PowerChangeWorkersTest, ThreeBroadcastsWithinOneSecondApplyThreeTimes) {
    workers.AcceptBroadcasts();
    workers.OnPowerBroadcast(kPowerStatusChange);
    clock.Advance(milliseconds(400));
    workers.OnPowerBroadcast(0x8);
    clock.Advance(milliseconds(500));
    workers.OnPowerBroadcast(0x12);
    clock.Advance(milliseconds(2100)); // 3000 after the first
    EXPECT_EQ(log.Count("apply"), 1);
    clock.Advance(milliseconds(400));
    EXPECT_EQ(log.Count("apply"), 2);
    clock.Advance(milliseconds(499));
    EXPECT_EQ(log.Count("apply"), 2);
    clock.Advance(milliseconds(1));
    EXPECT_EQ(log.Events(), (Events{"save", "apply", "save", "apply", "save", "apply"}));
}

TEST_F(PowerChangeWorkersTest, StopWorkersDuringTheWaitAppliesNothing) {
    workers.AcceptBroadcasts();
    workers.OnPowerBroadcast(kPowerStatusChange);
    clock.Advance(milliseconds(2999));
    EXPECT_TRUE(workers.StopWorkers());
    EXPECT_EQ(log.Events(), (Events{"painter", "controller"}));
}

TEST_F(PowerChangeWorkersTest, StopWorkersTwiceIsHarmless) {
    workers.AcceptBroadcasts();
    workers.OnPowerBroadcast(kPowerStatusChange);
    clock.AwaitWorkerWaiting();
    EXPECT_TRUE(workers.StopWorkers());
    EXPECT_TRUE(workers.StopWorkers());
    EXPECT_EQ(log.Events(), (Events{"painter", "controller"}));
}

TEST_F(PowerChangeWorkersTest, StopWorkersWithoutAnyWorkerReleasesInOrder) {
    EXPECT_TRUE(workers.StopWorkers());
    EXPECT_EQ(log.Events(), (Events{"painter", "controller"}));
}

TEST_F(PowerChangeWorkersTest, NoBroadcastIsTakenAfterStopWorkers) {
    workers.AcceptBroadcasts();
    workers.StopWorkers();
    EXPECT_FALSE(workers.OnPowerBroadcast(kPowerStatusChange));
    EXPECT_TRUE(workers.Stopped());
}

TEST_F(PowerChangeWorkersTest, WithoutBacklightModeNoBroadcastIsTaken) {
    EXPECT_FALSE(workers.OnPowerBroadcast(kPowerStatusChange));
    workers.StopWorkers();
    EXPECT_EQ(log.Events(), (Events{"painter", "controller"}));
}

TEST_F(PowerChangeWorkersTest, NonQualifyingCodeIsNotTaken) {
    workers.AcceptBroadcasts();
    EXPECT_FALSE(workers.OnPowerBroadcast(kSuspend));
}

TEST_F(PowerChangeWorkersTest, StormIsBounded) {
    workers.AcceptBroadcasts();
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(workers.OnPowerBroadcast(kPowerStatusChange));
    clock.Advance(milliseconds(3000));
    EXPECT_EQ(log.Count("apply"), static_cast<int>(PowerChangeSchedule::kMaxPending));
}

TEST(PowerChangeWorkersDestructionTest, DestructorJoinsAndReleases) {
    ManualWaitClock clock;
    HookLog log;
    {
        PowerChangeWorkers workers(log.Hooks(), clock);
        workers.AcceptBroadcasts();
        workers.OnPowerBroadcast(kPowerStatusChange);
        clock.AwaitWorkerWaiting();
    }
    EXPECT_EQ(log.Events(), (Events{"painter", "controller"}));
}

// With the steady clock: the stop must end a real three-second wait at once.
TEST(PowerChangeWorkersSteadyClockTest, StopEndsARealWaitWithoutApplying) {
    HookLog log;
    PowerChangeWorkers workers(log.Hooks());
    workers.AcceptBroadcasts();
    workers.OnPowerBroadcast(kPowerStatusChange);
    const auto before = std::chrono::steady_clock::now();
    workers.StopWorkers();
    EXPECT_LT(std::chrono::steady_clock::now() - before, milliseconds(2500));
    EXPECT_EQ(log.Events(), (Events{"painter", "controller"}));
}

// Every wait is over at once; time runs a second per look.
class RushingClock final : public WaitClock {
public:
    TimePoint Now() override { return TimePoint{std::chrono::seconds(++seconds_)}; }
    void Wait(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
              std::optional<TimePoint> deadline) override {
        if (!deadline)
            wake.wait(lock);
    }

private:
    std::atomic<long long> seconds_{0};
};

// Broadcasts race StopWorkers from another thread while applies run: whatever interleaving
// happens, nothing touches the controller after it is released, and each capture is followed
// by its apply.
TEST(PowerChangeWorkersRaceTest, BroadcastsRacingStopNeverOutliveTheController) {
    for (int round = 0; round < 20; ++round) {
        RushingClock clock;
        HookLog log;
        PowerChangeWorkers workers(log.Hooks(), clock);
        workers.AcceptBroadcasts();
        std::atomic<bool> go{false};
        std::thread window([&] {
            while (!go.load()) {
            }
            for (int i = 0; i < 200; ++i)
                workers.OnPowerBroadcast(kPowerStatusChange);
        });
        workers.OnPowerBroadcast(kPowerStatusChange);
        go.store(true);
        workers.StopWorkers();
        const Events atStop = log.Events();
        window.join();

        EXPECT_EQ(log.Events(), atStop) << "a worker ran after StopWorkers returned";
        ASSERT_GE(atStop.size(), 2u);
        EXPECT_EQ(atStop[atStop.size() - 2], "painter");
        EXPECT_EQ(atStop.back(), "controller");
        for (std::size_t i = 0; i + 2 < atStop.size(); i += 2) {
            EXPECT_EQ(atStop[i], "save");
            EXPECT_EQ(atStop[i + 1], "apply");
        }
    }
}

} // namespace
} // namespace dp
