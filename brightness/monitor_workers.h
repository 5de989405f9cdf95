// One thread per external monitor, so that a slow or silent monitor never holds up the panel or
// the other monitors. The caller asks for a level or for the put-back and goes on at once; each
// monitor's thread carries out the latest request. After the put-back no level is applied any
// more.
#pragma once

#include "brightness/external_monitors.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace dp {

class MonitorWorkers {
public:
    // How long the destructor waits for the monitors to be back.
    static constexpr std::chrono::milliseconds kExitWait{3000};

    // Starts a thread for every monitor of the bus. The bus and clock are shared with the threads:
    // one that is still waiting for a monitor when this object goes keeps them alive.
    MonitorWorkers(std::shared_ptr<MonitorBus> bus, std::shared_ptr<MonitorClock> clock,
                   std::chrono::milliseconds exitWait = kExitWait,
                   MonitorCaptureHook onCapture = {});
    // Puts the monitors back (if not asked yet) and waits up to the bound for them; a thread still
    // waiting for its monitor then is left to finish on its own.
    ~MonitorWorkers();
    MonitorWorkers(const MonitorWorkers&) = delete;
    MonitorWorkers& operator=(const MonitorWorkers&) = delete;

    std::size_t Count() const;
    void SetLevel(std::uint32_t level);
    void PutBack();
    // True once every monitor has carried out the last request; false when the time ran out.
    bool WaitIdle(std::chrono::milliseconds limit);
    // The monitor's state; only meaningful once idle.
    MonitorState State(std::size_t index) const;

private:
    struct Shared;
    static void Run(std::shared_ptr<Shared> shared, std::size_t index);

    std::chrono::milliseconds exitWait_;
    std::shared_ptr<Shared> shared_;
    std::vector<std::thread> threads_;
};

} // namespace dp
