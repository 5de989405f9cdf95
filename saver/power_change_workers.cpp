#include "saver/power_change_workers.h"

#include <utility>

#include "saver/power_broadcast.h"

namespace dp {

namespace {

void RunOnce(std::function<void()>& hook) {
    std::function<void()> taken = std::exchange(hook, nullptr);
    if (taken)
        taken();
}

} // namespace

PowerChangeWorkers::PowerChangeWorkers(DimmerHooks hooks, WaitClock& clock)
    : hooks_(std::move(hooks)), clock_(clock) {}

PowerChangeWorkers::~PowerChangeWorkers() {
    StopWorkers();
}

void PowerChangeWorkers::AcceptBroadcasts() {
    std::lock_guard lock(mutex_);
    accepting_ = true;
}

bool PowerChangeWorkers::OnPowerBroadcast(std::uintptr_t eventCode) {
    if (!IsPowerChangeBroadcast(eventCode))
        return false;
    std::lock_guard lock(mutex_);
    if (!accepting_ || stopping_)
        return false;
    schedule_.Add(clock_.Now());
    if (!worker_.joinable())
        worker_ = std::thread([this] { WorkerLoop(); });
    // An idle worker waits without a deadline: it must learn of the new one.
    wake_.notify_all();
    return true;
}

bool PowerChangeWorkers::StopWorkers() {
    std::lock_guard stopLock(stopMutex_);
    std::thread worker = TakeWorkerForJoin();
    wake_.notify_all();
    if (worker.joinable())
        worker.join();
    ReleaseInOrder();
    return true;
}

bool PowerChangeWorkers::Stopped() const {
    std::lock_guard lock(mutex_);
    return stopping_;
}

std::thread PowerChangeWorkers::TakeWorkerForJoin() {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    schedule_.Clear();
    return std::move(worker_);
}

// The painter goes first (the cursor comes back while the layer is still up), then the
// controller, whose destruction puts the previous brightness back.
void PowerChangeWorkers::ReleaseInOrder() {
    RunOnce(hooks_.releasePainter);
    RunOnce(hooks_.releaseController);
}

void PowerChangeWorkers::WorkerLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (schedule_.TakeDue(clock_.Now())) {
            // The controller calls can take a while; broadcasts must not wait for them.
            lock.unlock();
            ApplyOnce();
            lock.lock();
            continue;
        }
        clock_.Wait(wake_, lock, schedule_.NextDue());
    }
}

void PowerChangeWorkers::ApplyOnce() {
    if (hooks_.saveCurrentAsDefault)
        hooks_.saveCurrentAsDefault();
    if (hooks_.applyForPowerSource)
        hooks_.applyForPowerSource();
}

} // namespace dp
