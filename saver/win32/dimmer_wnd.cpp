#include "saver/win32/dimmer_wnd.h"

#include <utility>

#include "brightness/win32/ddc_monitors.h"
#include "brightness/win32/system_brightness.h"
#include "brightness/win32/system_status.h"
#include "saver/power_level.h"
#include "ui/resource_ids.h"

namespace dp {

namespace {

constexpr wchar_t kDimmerClassName[] = L"DuskpanelDimmer";

} // namespace

DimmerWnd::DimmerWnd(bool autoDelete, DimmerSettings settings)
    : autoDelete_(autoDelete), settings_(std::move(settings)),
      workers_(DimmerHooks{
          [this] { controller_->SaveCurrentAsDefault(); },
          [this] { ApplyForPowerSource(); },
          [this] { painter_.reset(); },
          [this] {
              // The panel first; the monitors follow on their own threads, and the record
              // stays until they are back (the window's end waits for them).
              controller_.reset();
              if (monitors_)
                  monitors_->PutBack();
              else
                  brightnessGuard_.reset();
          },
      }) {}

DimmerWnd::~DimmerWnd() = default;

bool DimmerWnd::CreateDimmer(DWORD exStyle, const wchar_t* windowName, DWORD style,
                             const RECT& rect, HWND parent, UINT id) {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    Window::RegisterClass(kDimmerClassName, CS_VREDRAW | CS_HREDRAW, nullptr,
                          static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)),
                          ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_DUSKPANEL)));
    // A window that fails during creation still gets WM_NCDESTROY; the object must outlive it
    // so that the caller, who still owns it, can delete it.
    creating_ = true;
    const bool created = CreateEx(exStyle, kDimmerClassName, windowName, style & ~WS_VISIBLE, rect,
                                  parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)));
    creating_ = false;
    if (!created)
        return false;

    controller_ = settings_.createController ? settings_.createController()
                                             : CreateSystemBrightnessController();
    if (controller_ && controller_->IsBacklightMode()) {
        brightnessGuard_.emplace(*controller_);
        // A dim without its record could outlive a killed saver: no dimming then.
        if (brightnessGuard_->AllowsChange())
            StartBacklightMode();
    } else if (controller_) {
        StartMonitorsOnly();
    }
    // Without the panel the window stays hidden and the saver watches for input by polling alone.
    return true;
}

void DimmerWnd::StartBacklightMode() {
    backlightInUse_ = true;
    ApplyForPowerSource();
    StartMonitors(OpenMonitors());
    painter_ = std::make_unique<OverlayPainter>(Handle());
    if (!painter_->UserLibraryLoaded())
        EndForMissingUserLibrary();
    painter_->PaintOverlay(kOverlayLevel);
    ::ShowWindow(Handle(), SW_SHOW);
    workers_.AcceptBroadcasts();
}

// The level is applied already: the brightness goes back before the process ends.
void DimmerWnd::EndForMissingUserLibrary() {
    ::MessageBoxW(nullptr, L"User32.dll ERROR!", nullptr, MB_OK);
    StopWorkers();
    FinishMonitors();
    ::ExitProcess(0);
}

std::shared_ptr<MonitorBus> DimmerWnd::OpenMonitors() {
    if (!settings_.dimMonitors)
        return nullptr;
    try {
        std::shared_ptr<MonitorBus> bus =
            settings_.openMonitors ? settings_.openMonitors() : DdcMonitorBus::Open();
        if (bus && bus->Count() > 0)
            return bus;
    } catch (...) {
    }
    return nullptr;
}

// The monitors' readings join the panel's record: the guard must hold one before this.
void DimmerWnd::StartMonitors(std::shared_ptr<MonitorBus> bus) {
    if (!bus)
        return;
    // Without the monitors the saver still dims the panel: no failure here may end it.
    try {
        monitors_ = std::make_unique<MonitorWorkers>(
            std::move(bus), std::make_shared<SystemMonitorClock>(), MonitorWorkers::kExitWait,
            [](std::size_t index, const MonitorBrightness& reading) {
                return RecordMonitorBrightness(index, reading.current);
            });
        const PowerLevelChoice choice =
            ChoosePowerLevel(ReadAcLineStatus(), settings_.acBrightness, settings_.dcBrightness);
        monitors_->SetLevel(choice.level);
    } catch (...) {
        monitors_.reset();
    }
}

// No panel to dim: the monitors alone, under a record that has no panel brightness of its own.
// Power-source changes reach them as they would reach the panel.
void DimmerWnd::StartMonitorsOnly() {
    std::shared_ptr<MonitorBus> bus = OpenMonitors();
    if (!bus)
        return;
    brightnessGuard_.emplace(*controller_, true);
    if (!brightnessGuard_->AllowsChange()) {
        brightnessGuard_.reset();
        return;
    }
    StartMonitors(std::move(bus));
    if (!monitors_) {
        brightnessGuard_.reset();
        return;
    }
    workers_.AcceptBroadcasts();
}

void DimmerWnd::FinishMonitors() {
    if (monitors_ && monitors_->WaitIdle(MonitorWorkers::kExitWait))
        brightnessGuard_.reset();
}

bool DimmerWnd::StopWorkers() {
    return workers_.StopWorkers();
}

std::optional<std::uint8_t> DimmerWnd::ReadAcLineStatus() const {
    if (settings_.readAcLineStatus)
        return settings_.readAcLineStatus();
    return SystemPowerStatus().ReadACLineStatus();
}

void DimmerWnd::ApplyForPowerSource() {
    const PowerLevelChoice choice =
        ChoosePowerLevel(ReadAcLineStatus(), settings_.acBrightness, settings_.dcBrightness);
    controller_->ApplyBrightness(choice.level, choice.level, choice.policy);
    if (monitors_)
        monitors_->SetLevel(choice.level);
}

void DimmerWnd::ShowCursorAgain(WPARAM hides) {
    for (WPARAM i = 0; i < hides; ++i)
        ::ShowCursor(TRUE);
}

LRESULT DimmerWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        // The layered window keeps its own image.
        ::ValidateRect(Handle(), nullptr);
        return 0;
    case WM_DESTROY:
        StopWorkers();
        return Default(message, wParam, lParam);
    case WM_ENDSESSION:
        // The process ends without WM_DESTROY when the session does.
        if (wParam) {
            StopWorkers();
            FinishMonitors();
        }
        return Default(message, wParam, lParam);
    case WM_POWERBROADCAST:
        // Failing to start the worker costs one re-apply, not the process: nothing may unwind
        // through the window procedure.
        try {
            workers_.OnPowerBroadcast(wParam);
        } catch (...) {
        }
        return Default(message, wParam, lParam);
    case kShowCursorMessage:
        ShowCursorAgain(wParam);
        return 0;
    case WM_DPICHANGED:
        // Spanning monitors of different scaling, the window takes the resolution of the one
        // holding most of it, and the system suggests a rectangle scaled for that. The window
        // already covers the whole virtual screen in device pixels, and so does the overlay's
        // bitmap: both stay as they are.
        return 0;
    default:
        return Default(message, wParam, lParam);
    }
}

void DimmerWnd::PostNcDestroy() {
    if (autoDelete_ && !creating_)
        delete this;
}

} // namespace dp
