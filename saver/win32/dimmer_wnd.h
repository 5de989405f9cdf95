// DimmerWnd: the window that holds the brightness controller for the saver's lifetime. Creating
// it applies the saver level of the power source in force and, when the controller drives the
// backlight, lays the overlay over the screen and shows the window; power broadcasts re-apply
// the level three seconds later; StopWorkers puts the brightness back. External monitors follow
// the panel: dimmed after it, put back after it, each on a thread of its own. Without a panel
// to control (a desktop, a closed lid) the monitors alone are dimmed, the window staying hidden.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "brightness/brightness_controller.h"
#include "brightness/monitor_workers.h"
#include "brightness/win32/brightness_restore.h"
#include "framework/win32/window.h"
#include "saver/power_change_workers.h"
#include "saver/win32/overlay_painter.h"

namespace dp {

struct DimmerSettings {
    // The "AC" and "DC" parameters; their low bytes are the levels.
    std::int32_t acBrightness = 0;
    std::int32_t dcBrightness = 0;
    // Builds the controller (the system's when empty). Called once, on the window thread.
    std::function<std::unique_ptr<BrightnessController>()> createController;
    // ACLineStatus, nothing when unreadable (GetSystemPowerStatus when empty). Called on the
    // window thread and on the power-change worker.
    std::function<std::optional<std::uint8_t>()> readAcLineStatus;
    // The external monitors (the system's DDC/CI monitors when empty); nothing: none answer.
    // Called once, on the window thread, after the panel is dimmed.
    std::function<std::shared_ptr<MonitorBus>()> openMonitors;
    // The "Dim_external_monitors" parameter: false leaves the monitors alone.
    bool dimMonitors = true;
};

class DimmerWnd : public Window {
public:
    DimmerWnd(bool autoDelete, DimmerSettings settings);
    ~DimmerWnd() override;

    // Creates the window hidden (WS_VISIBLE is taken out of style), then the controller; in
    // backlight mode applies the level, paints the overlay and shows the window. False when the
    // window could not be created: the object then still belongs to the caller, even with
    // auto-delete.
    virtual bool CreateDimmer(DWORD exStyle, const wchar_t* windowName, DWORD style,
                              const RECT& rect, HWND parent, UINT id);

    // Joins the power-change worker, then releases the painter and the controller (which puts
    // the brightness back). Any thread but the worker's; a second call does nothing. True.
    bool StopWorkers();

    // Whether CreateDimmer found a controller that drives the backlight.
    bool BacklightInUse() const { return backlightInUse_; }
    // Whether external monitors are being dimmed.
    bool MonitorsInUse() const { return monitors_ != nullptr; }
    // The painter while it exists; for the window thread only.
    const OverlayPainter* Painter() const { return painter_.get(); }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

private:
    // The overlay is painted at this level whatever the saver level: a barely visible tint.
    static constexpr int kOverlayLevel = 4;

    std::optional<std::uint8_t> ReadAcLineStatus() const;
    void ApplyForPowerSource();
    void StartBacklightMode();
    std::shared_ptr<MonitorBus> OpenMonitors();
    void StartMonitors(std::shared_ptr<MonitorBus> bus);
    void StartMonitorsOnly();
    // After StopWorkers, where the process may end before this window's destruction: waits
    // (bounded) for the monitors to be back, then clears the record. One left in the profile
    // puts them back at the next start.
    void FinishMonitors();
    [[noreturn]] void EndForMissingUserLibrary();
    void ShowCursorAgain(WPARAM hides);

    bool autoDelete_;
    bool creating_ = false;
    bool backlightInUse_ = false;
    DimmerSettings settings_;
    // From before the first change until the controller, and the monitors, have put the
    // brightness back.
    std::optional<BrightnessChangeGuard> brightnessGuard_;
    // Destroyed after the controller: it waits (bounded) for the monitors to be back.
    std::unique_ptr<MonitorWorkers> monitors_;
    std::unique_ptr<BrightnessController> controller_;
    std::unique_ptr<OverlayPainter> painter_;
    // Last: its destructor stops the worker and releases the two above, which must still exist.
    PowerChangeWorkers workers_;
};

} // namespace dp
