#include "brightness/monitor_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace dp {
namespace {

using namespace std::chrono_literals;

class NoWaitClock : public MonitorClock {
public:
    std::uint64_t NowMs() override { return 0; }
    void SleepMs(std::uint32_t) override {}
};

// Monitors at 0..100, current 80. A monitor marked hanging blocks in every call until released.
class BlockingBus : public MonitorBus {
public:
    explicit BlockingBus(std::vector<bool> hanging)
        : hanging_(std::move(hanging)), written_(hanging_.size()) {}
    std::size_t Count() const override { return hanging_.size(); }
    std::optional<MonitorBrightness> Read(std::size_t index) override {
        Hold(index);
        return MonitorBrightness{0, 80, 100};
    }
    bool Write(std::size_t index, std::uint32_t value) override {
        Hold(index);
        const std::lock_guard lock(mutex_);
        written_[index].push_back(value);
        return true;
    }
    void Release() {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        wake_.notify_all();
    }
    std::vector<std::uint32_t> Written(std::size_t index) {
        const std::lock_guard lock(mutex_);
        return written_[index];
    }

private:
    void Hold(std::size_t index) {
        std::unique_lock lock(mutex_);
        if (hanging_[index])
            wake_.wait(lock, [this] { return released_; });
    }
    std::vector<bool> hanging_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::vector<std::vector<std::uint32_t>> written_;
};

TEST(MonitorWorkers, LevelsThenPutBack) {
    struct Row {
        const char* name;
        std::vector<std::uint32_t> levels;
        bool levelAfterPutBack;
        std::vector<std::uint32_t> written; // each monitor, the put-back included
    };
    const Row rows[] = {
        {"one level", {30}, false, {30, 80}},
        {"no level: nothing to put back", {}, false, {}},
        {"a level after the put-back is ignored", {30}, true, {30, 80}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto bus = std::make_shared<BlockingBus>(std::vector<bool>{false, false});
        MonitorWorkers workers(bus, std::make_shared<NoWaitClock>());
        for (const std::uint32_t level : row.levels) {
            workers.SetLevel(level);
            ASSERT_TRUE(workers.WaitIdle(5s));
        }
        workers.PutBack();
        if (row.levelAfterPutBack)
            workers.SetLevel(10);
        ASSERT_TRUE(workers.WaitIdle(5s));
        EXPECT_EQ(bus->Written(0), row.written);
        EXPECT_EQ(bus->Written(1), row.written);
    }
}

TEST(MonitorWorkers, AHangingMonitorHoldsUpNoOther) {
    auto bus = std::make_shared<BlockingBus>(std::vector<bool>{false, true, false});
    {
        MonitorWorkers workers(bus, std::make_shared<NoWaitClock>(), 50ms);
        workers.SetLevel(25);
        EXPECT_FALSE(workers.WaitIdle(100ms));
        workers.PutBack();
        EXPECT_FALSE(workers.WaitIdle(100ms));
        EXPECT_EQ(bus->Written(0), (std::vector<std::uint32_t>{25, 80}));
        EXPECT_EQ(bus->Written(2), (std::vector<std::uint32_t>{25, 80}));
        EXPECT_EQ(bus->Written(1), std::vector<std::uint32_t>{});
    } // leaves the hanging monitor's thread behind after the bound
    // The left thread still owns the bus and finishes once the monitor answers.
    bus->Release();
    for (int i = 0; i < 200 && bus.use_count() > 1; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(bus.use_count(), 1);
}

} // namespace
} // namespace dp
