// The external monitors as DDC/CI reaches them through the system's monitor-configuration
// library (dxva2.dll, bound at run time from the system folder): every physical monitor of every
// display, its brightness read and set through the high-level brightness calls.
#pragma once

#include "brightness/external_monitors.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace dp {

class DdcMonitorBus final : public MonitorBus {
public:
    // The physical monitors of all displays; nothing when the library or its calls are missing
    // or no monitor is attached.
    static std::unique_ptr<DdcMonitorBus> Open();
    ~DdcMonitorBus() override;
    DdcMonitorBus(const DdcMonitorBus&) = delete;
    DdcMonitorBus& operator=(const DdcMonitorBus&) = delete;

    std::size_t Count() const override { return monitors_.size(); }
    std::optional<MonitorBrightness> Read(std::size_t index) override;
    bool Write(std::size_t index, std::uint32_t value) override;
    // The description the system gives the monitor.
    std::wstring Description(std::size_t index) const;

    struct Api;

private:
    struct Monitor {
        HANDLE handle;
        std::wstring description;
    };
    DdcMonitorBus(std::unique_ptr<Api> api, std::vector<Monitor> monitors);

    std::unique_ptr<Api> api_;
    std::vector<Monitor> monitors_;
};

class SystemMonitorClock final : public MonitorClock {
public:
    std::uint64_t NowMs() override { return ::GetTickCount64(); }
    void SleepMs(std::uint32_t ms) override { ::Sleep(ms); }
};

} // namespace dp
