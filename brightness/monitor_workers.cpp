#include "brightness/monitor_workers.h"

#include <condition_variable>
#include <mutex>
#include <optional>

namespace dp {

struct MonitorWorkers::Shared {
    Shared(std::shared_ptr<MonitorBus> b, std::shared_ptr<MonitorClock> c, MonitorCaptureHook hook)
        : bus(std::move(b)), clock(std::move(c)),
          dimmer(*bus, *clock, kMonitorCommandGapMs, std::move(hook)) {}

    std::shared_ptr<MonitorBus> bus;
    std::shared_ptr<MonitorClock> clock;
    MonitorDimmer dimmer;

    std::mutex mutex;
    std::condition_variable changed;
    // Each request has a number; a monitor is idle once it has done the latest.
    std::uint64_t request = 0;
    std::optional<std::uint32_t> level;
    bool putBack = false;
    std::vector<std::uint64_t> done;
};

MonitorWorkers::MonitorWorkers(std::shared_ptr<MonitorBus> bus, std::shared_ptr<MonitorClock> clock,
                               std::chrono::milliseconds exitWait, MonitorCaptureHook onCapture)
    : exitWait_(exitWait),
      shared_(std::make_shared<Shared>(std::move(bus), std::move(clock), std::move(onCapture))) {
    const std::size_t count = shared_->dimmer.Count();
    shared_->done.assign(count, 0);
    threads_.reserve(count);
    try {
        for (std::size_t i = 0; i < count; ++i) {
            threads_.emplace_back(Run, shared_, i);
        }
    } catch (...) {
        // A monitor without its thread is simply never touched; those with one still work.
        const std::lock_guard lock(shared_->mutex);
        for (std::size_t i = threads_.size(); i < count; ++i)
            shared_->done[i] = ~std::uint64_t{0};
    }
}

MonitorWorkers::~MonitorWorkers() {
    PutBack();
    const bool finished = WaitIdle(exitWait_);
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->request = ~std::uint64_t{0}; // the threads end
    }
    shared_->changed.notify_all();
    for (std::thread& thread : threads_) {
        if (finished)
            thread.join();
        else
            thread.detach();
    }
}

std::size_t MonitorWorkers::Count() const {
    return shared_->dimmer.Count();
}

void MonitorWorkers::SetLevel(std::uint32_t level) {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->putBack)
            return;
        shared_->level = level;
        ++shared_->request;
    }
    shared_->changed.notify_all();
}

void MonitorWorkers::PutBack() {
    {
        const std::lock_guard lock(shared_->mutex);
        if (shared_->putBack)
            return;
        shared_->putBack = true;
        ++shared_->request;
    }
    shared_->changed.notify_all();
}

bool MonitorWorkers::WaitIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(shared_->mutex);
    return shared_->changed.wait_for(lock, limit, [this] {
        for (const std::uint64_t done : shared_->done)
            if (done < shared_->request)
                return false;
        return true;
    });
}

MonitorState MonitorWorkers::State(std::size_t index) const {
    return shared_->dimmer.State(index);
}

void MonitorWorkers::Run(std::shared_ptr<Shared> shared, std::size_t index) {
    std::uint64_t seen = 0;
    for (;;) {
        std::optional<std::uint32_t> level;
        bool putBack = false;
        {
            std::unique_lock lock(shared->mutex);
            shared->changed.wait(lock, [&] { return shared->request != seen; });
            if (shared->request == ~std::uint64_t{0})
                return;
            seen = shared->request;
            level = shared->level;
            putBack = shared->putBack;
        }
        if (putBack)
            shared->dimmer.Restore(index);
        else if (level)
            shared->dimmer.ApplyLevel(index, *level);
        {
            const std::lock_guard lock(shared->mutex);
            shared->done[index] = seen;
        }
        shared->changed.notify_all();
    }
}

} // namespace dp
