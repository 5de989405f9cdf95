// The dimmer's power-change worker and its stop protocol.
//
// The window thread reports power broadcasts; three seconds after each qualifying one the
// worker captures the brightness now in force as the one to restore, then applies the saver
// level of the power source now in force (PowerChangeSchedule). StopWorkers, from the close
// thread or on WM_DESTROY, tears the dimmer down in a fixed order: the worker stopped and
// joined, then the overlay painter released, then the brightness controller released (which
// restores the brightness); the caller closes the window only after it returns.
//
// Bound: one worker thread at most, started by the first qualifying broadcast and kept until
// StopWorkers; it serves every waiting apply in turn, so the controller is never used by two
// workers at once. All state the window thread and StopWorkers share (the stopped flag, the
// schedule, the thread) is under one lock: a broadcast that races StopWorkers either is
// scheduled before the stop (and then dropped unapplied, since the stop ends every wait) or
// is refused, so no worker starts on a controller being released and none escapes the join.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "saver/power_change_schedule.h"
#include "saver/wait_clock.h"

namespace dp {

// What the dimmer's glue gives the worker. Empty functions are skipped.
struct DimmerHooks {
    // BrightnessController::SaveCurrentAsDefault. Runs on the worker thread.
    std::function<void()> saveCurrentAsDefault;
    // Read the power status, then BrightnessController::ApplyBrightness with the level and
    // policy of ChoosePowerLevel. Runs on the worker thread, right after saveCurrentAsDefault.
    std::function<void()> applyForPowerSource;
    // Delete the overlay painter. Runs once, in StopWorkers, after the worker is joined.
    std::function<void()> releasePainter;
    // Delete the brightness controller. Runs once, in StopWorkers, after releasePainter.
    std::function<void()> releaseController;
};

class PowerChangeWorkers {
public:
    explicit PowerChangeWorkers(DimmerHooks hooks, WaitClock& clock = SteadyWaitClock());
    // Stops as StopWorkers does, so that no thread outlives the object.
    ~PowerChangeWorkers();

    PowerChangeWorkers(const PowerChangeWorkers&) = delete;
    PowerChangeWorkers& operator=(const PowerChangeWorkers&) = delete;

    // Window thread, once the controller is known to drive the backlight: from now on
    // qualifying broadcasts schedule applies. Without it (no backlight mode) none ever does.
    void AcceptBroadcasts();

    // Window thread, on WM_POWERBROADCAST with its event code (wParam). Returns whether an
    // apply was scheduled: false for codes that do not qualify, before AcceptBroadcasts and
    // once StopWorkers has begun.
    bool OnPowerBroadcast(std::uintptr_t eventCode);

    // Any thread but the worker's own. Ends every wait without applying anything, joins the
    // worker, then releases the painter and the controller. A second call (or one running at
    // the same time) finds nothing left to do and returns when the first has finished.
    // Returns true, always.
    bool StopWorkers();

    bool Stopped() const;

private:
    void WorkerLoop();
    void ApplyOnce();
    std::thread TakeWorkerForJoin();
    void ReleaseInOrder();

    DimmerHooks hooks_;
    WaitClock& clock_;

    mutable std::mutex mutex_; // guards everything below it
    std::condition_variable wake_;
    bool accepting_ = false;
    bool stopping_ = false;
    PowerChangeSchedule schedule_;
    std::thread worker_;

    std::mutex stopMutex_; // serialises StopWorkers callers
};

} // namespace dp
