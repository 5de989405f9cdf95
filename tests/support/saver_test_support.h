// Shared by the saver window tests: a message loop like the application's (PreTranslateMessage
// first, bounded in time), a brightness controller on stand-in back-ends, and the cursor's show
// count.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "brightness/brightness_controller.h"
#include "framework/win32/window.h"
#include "saver/win32/dimmer_wnd.h"
#include "tests/support/brightness_fakes.h"

namespace dp::test {

// Runs the thread's queue as Application::Run does until `done` holds, WM_QUIT arrives or the
// time-out passes. Returns whether WM_QUIT arrived.
inline bool Pump(std::chrono::milliseconds timeout, const std::function<bool()>& done = {}) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return true;
            if (!MessageTarget::PreTranslateForTarget(msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        if (done && done())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left.count()),
                                    QS_ALLINPUT);
    }
}

// The end of a saver run: its window destroyed and WM_QUIT posted.
inline bool PumpUntilQuit(std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    return Pump(timeout);
}

// The cursor's show count on this thread, unchanged.
inline int CursorShowCount() {
    ::ShowCursor(TRUE);
    return ::ShowCursor(FALSE);
}

// The power source as both the dimmer and the controller read it; a test may switch it while
// a worker runs. -1: the status cannot be read.
class SwitchablePowerStatus : public PowerStatusSource {
public:
    std::atomic<int> acLineStatus{1};
    std::optional<std::uint8_t> ReadACLineStatus() override {
        const int status = acLineStatus.load();
        if (status < 0)
            return std::nullopt;
        return static_cast<std::uint8_t>(status);
    }
};

// A panel driver that records every request, readable while other threads use it.
class RecordingPanel : public PanelDevice {
public:
    struct Set {
        DisplayBrightness record;
        std::chrono::steady_clock::time_point when;
    };

    RecordingPanel(bool opens, DisplayBrightness current) : opens_(opens), current_(current) {}

    bool Open() override {
        std::lock_guard lock(mutex_);
        open_ = opens_;
        return open_;
    }
    bool IsOpen() const override {
        std::lock_guard lock(mutex_);
        return open_;
    }
    bool QuerySupportedLevels(LevelList& levels) override {
        levels = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
        return true;
    }
    bool QueryDisplayBrightness(DisplayBrightness& record) override {
        std::lock_guard lock(mutex_);
        ++queries_;
        record = current_;
        return true;
    }
    bool SetDisplayBrightness(const DisplayBrightness& record) override {
        std::lock_guard lock(mutex_);
        sets_.push_back({record, std::chrono::steady_clock::now()});
        return true;
    }
    void Close() override {
        std::lock_guard lock(mutex_);
        open_ = false;
        ++closes_;
    }

    // What the driver reports from now on (the system changing the brightness itself).
    void SetCurrent(DisplayBrightness record) {
        std::lock_guard lock(mutex_);
        current_ = record;
    }
    std::vector<Set> Sets() const {
        std::lock_guard lock(mutex_);
        return sets_;
    }
    std::vector<DisplayBrightness> Records() const {
        std::vector<DisplayBrightness> records;
        for (const Set& set : Sets())
            records.push_back(set.record);
        return records;
    }
    int Queries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }
    int Closes() const {
        std::lock_guard lock(mutex_);
        return closes_;
    }

private:
    mutable std::mutex mutex_;
    bool opens_;
    bool open_ = false;
    DisplayBrightness current_;
    std::vector<Set> sets_;
    int queries_ = 0;
    int closes_ = 0;
};

// The stand-in platform behind one saver run. Shared between the test and the controller,
// which may be destroyed on another thread. With backlight false there is no panel at all.
struct TestPanel {
    // Two power schemes, so that re-applying the active one switches away and back.
    TestPanel(bool backlight, DisplayBrightness current) : panel(backlight, current) {
        schemes.listed = {Scheme(0xA), Scheme(0xB)};
    }

    FakeOsVersion os;
    RecordingPanel panel;
    FakeWmi wmi;
    SwitchablePowerStatus power;
    FakePowerSchemes schemes;

    BrightnessBackends Sources() { return {os, panel, wmi, power, schemes}; }
};

inline std::shared_ptr<TestPanel> MakePanel(bool backlight, DisplayBrightness current = {
                                                                kDisplayPolicyAc, 80, 80}) {
    return std::make_shared<TestPanel>(backlight, current);
}

inline DimmerSettings DimmerOn(const std::shared_ptr<TestPanel>& panel, std::int32_t ac = 30,
                               std::int32_t dc = 60) {
    DimmerSettings settings;
    settings.acBrightness = ac;
    settings.dcBrightness = dc;
    settings.createController = [panel] {
        return std::make_unique<BrightnessController>(panel->Sources());
    };
    settings.readAcLineStatus = [panel] { return panel->power.ReadACLineStatus(); };
    return settings;
}

} // namespace dp::test
