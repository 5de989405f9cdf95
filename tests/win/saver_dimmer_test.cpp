// The dimmer window and its overlay against the window system as Wine provides it: a real
// layered window painted at each level, the level applied for the power source in force, the
// power broadcasts that re-apply it three seconds later, and the teardown that puts the
// brightness back. The panel behind the controller is a stand-in that records every request.
#include "saver/win32/dimmer_wnd.h"
#include "saver/win32/overlay_painter.h"
#include "tests/support/saver_test_support.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace dp {
namespace {

using namespace std::chrono_literals;
using test::CursorShowCount;
using test::DimmerOn;
using test::MakePanel;
using test::Pump;

constexpr RECT kDimmerRect{0, 0, 320, 200};

// A plain top-level window to paint on, destroyed with the test.
class PlainWindow {
public:
    PlainWindow()
        : hwnd_(::CreateWindowExW(WS_EX_APPWINDOW, L"STATIC", L"overlay test", WS_POPUP, 10, 20,
                                  300, 200, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                  nullptr)) {}
    ~PlainWindow() { ::DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }

private:
    HWND hwnd_;
};

LONG_PTR ExStyle(HWND window) {
    return ::GetWindowLongPtrW(window, GWL_EXSTYLE);
}

struct AlphaRow {
    const char* name;
    int level;
    BYTE alpha;
};

class OverlayAlphaTest : public testing::TestWithParam<AlphaRow> {};

TEST_P(OverlayAlphaTest, LayeredWindowTakesTheLevelsAlpha) {
    PlainWindow window;
    ASSERT_TRUE(window.get());
    OverlayPainter painter(window.get());
    ASSERT_TRUE(painter.UserLibraryLoaded());
    EXPECT_TRUE(painter.PaintOverlay(GetParam().level)) << "UpdateLayeredWindow failed";
    EXPECT_EQ(painter.Blend().SourceConstantAlpha, GetParam().alpha);
    EXPECT_EQ(painter.Blend().BlendOp, AC_SRC_OVER);
    EXPECT_EQ(painter.Blend().AlphaFormat, AC_SRC_ALPHA);
    const LONG_PTR style = ExStyle(window.get());
    EXPECT_TRUE(style & WS_EX_LAYERED);
    EXPECT_TRUE(style & WS_EX_TOOLWINDOW) << "no taskbar button";
    EXPECT_FALSE(style & WS_EX_APPWINDOW);
    EXPECT_TRUE(style & WS_EX_TOPMOST);
}

INSTANTIATE_TEST_SUITE_P(Levels, OverlayAlphaTest,
                         testing::Values(AlphaRow{"SaverTint", 4, 10}, AlphaRow{"Twenty", 20, 50},
                                         AlphaRow{"Half", 50, 127}, AlphaRow{"Full", 100, 254},
                                         AlphaRow{"AboveRangeAsFull", 150, 254},
                                         AlphaRow{"BelowRangeAsFull", -1, 254}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(OverlayPainterTest, CursorHiddenByAPaintComesBackWithThePainter) {
    PlainWindow window;
    const int before = CursorShowCount();
    {
        OverlayPainter painter(window.get());
        painter.PaintOverlay(4);
        EXPECT_EQ(CursorShowCount(), before - 1);
        painter.PaintOverlay(4);
        EXPECT_EQ(CursorShowCount(), before - 2);
    }
    EXPECT_EQ(CursorShowCount(), before);
}

// The show count belongs to the painting thread: a painter released elsewhere asks that thread.
TEST(OverlayPainterTest, PainterReleasedOnAnotherThreadAsksThePaintingThread) {
    PlainWindow window;
    const int before = CursorShowCount();
    auto painter = std::make_unique<OverlayPainter>(window.get());
    painter->PaintOverlay(4);
    std::thread([&] { painter.reset(); }).join();
    EXPECT_EQ(CursorShowCount(), before - 1) << "the other thread must not show our cursor";
    MSG msg;
    ASSERT_TRUE(
        ::PeekMessageW(&msg, window.get(), kShowCursorMessage, kShowCursorMessage, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    ::ShowCursor(TRUE); // what the dimmer window does with that message
}

// Records what the window looked like while it was being created.
class WatchedDimmer : public DimmerWnd {
public:
    WatchedDimmer(DimmerSettings settings, bool& visibleAtCreate)
        : DimmerWnd(false, std::move(settings)), visibleAtCreate_(visibleAtCreate) {}

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE)
            visibleAtCreate_ = ::IsWindowVisible(Handle()) != FALSE;
        return DimmerWnd::OnMessage(message, wParam, lParam);
    }

private:
    bool& visibleAtCreate_;
};

struct SourceRow {
    const char* name;
    int acLineStatus; // -1: unreadable
    DisplayBrightness applied;
};

class DimmerSourceTest : public testing::TestWithParam<SourceRow> {};

TEST_P(DimmerSourceTest, AppliesTheLevelOfThePowerSourceAndShowsTheOverlay) {
    auto panel = MakePanel(true);
    panel->power.acLineStatus = GetParam().acLineStatus;
    bool visibleAtCreate = true;
    WatchedDimmer dimmer(DimmerOn(panel, 30, 60), visibleAtCreate);
    ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE, kDimmerRect,
                                    nullptr, 0));
    EXPECT_FALSE(visibleAtCreate) << "created hidden";
    EXPECT_TRUE(dimmer.BacklightInUse());
    EXPECT_EQ(panel->panel.Records(), (std::vector<DisplayBrightness>{GetParam().applied}));
    EXPECT_TRUE(::IsWindowVisible(dimmer.Handle()));
    ASSERT_NE(dimmer.Painter(), nullptr);
    EXPECT_EQ(dimmer.Painter()->Blend().SourceConstantAlpha, 10) << "painted at level 4";
    const LONG_PTR style = ExStyle(dimmer.Handle());
    EXPECT_TRUE((style & WS_EX_LAYERED) && (style & WS_EX_TOOLWINDOW) && (style & WS_EX_TOPMOST));
    dimmer.Destroy();
}

INSTANTIATE_TEST_SUITE_P(
    PowerSources, DimmerSourceTest,
    testing::Values(SourceRow{"Mains", 1, {kDisplayPolicyAc, 30, 30}},
                    SourceRow{"Battery", 0, {kDisplayPolicyDc, 60, 60}},
                    SourceRow{"UnknownCountsAsMains", 255, {kDisplayPolicyAc, 30, 30}},
                    SourceRow{"UnreadableCountsAsMains", -1, {kDisplayPolicyAc, 30, 30}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DimmerWndTest, WithoutBacklightNothingIsAppliedAndTheWindowStaysHidden) {
    auto panel = MakePanel(false);
    bool visibleAtCreate = true;
    WatchedDimmer dimmer(DimmerOn(panel), visibleAtCreate);
    ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE, kDimmerRect,
                                    nullptr, 0));
    EXPECT_FALSE(dimmer.BacklightInUse());
    EXPECT_FALSE(::IsWindowVisible(dimmer.Handle()));
    EXPECT_EQ(dimmer.Painter(), nullptr);
    ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    dimmer.Destroy();
    EXPECT_TRUE(panel->panel.Sets().empty());
    EXPECT_TRUE(panel->schemes.switches.empty()) << "nothing to restore either";
}

// One monitor at 70 of 0..100 that records every value it is given; called from the monitor's
// own thread.
class RecordingMonitor : public MonitorBus {
public:
    std::size_t Count() const override { return 1; }
    std::optional<MonitorBrightness> Read(std::size_t) override {
        std::lock_guard lock(mutex_);
        return MonitorBrightness{0, current_, 100};
    }
    bool Write(std::size_t, std::uint32_t value) override {
        std::lock_guard lock(mutex_);
        written_.push_back(value);
        current_ = value;
        return true;
    }
    std::vector<std::uint32_t> Written() const {
        std::lock_guard lock(mutex_);
        return written_;
    }

private:
    mutable std::mutex mutex_;
    std::uint32_t current_ = 70;
    std::vector<std::uint32_t> written_;
};

struct MonitorRow {
    const char* name;
    bool backlight;
    bool dimMonitors;
    std::vector<std::uint32_t> written; // the dim, then the put-back
};

class DimmerMonitorTest : public testing::TestWithParam<MonitorRow> {};

// The panel and the monitors, or the monitors alone on a computer without a panel to control;
// the parameter that turns them off leaves them untouched.
TEST_P(DimmerMonitorTest, MonitorsFollowTheChoiceWithOrWithoutThePanel) {
    auto panel = MakePanel(GetParam().backlight);
    auto monitor = std::make_shared<RecordingMonitor>();
    int opened = 0;
    DimmerSettings settings = DimmerOn(panel, 30, 60);
    settings.dimMonitors = GetParam().dimMonitors;
    settings.openMonitors = [&opened, monitor] {
        ++opened;
        return monitor;
    };
    {
        bool visibleAtCreate = true;
        WatchedDimmer dimmer(std::move(settings), visibleAtCreate);
        ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE,
                                        kDimmerRect, nullptr, 0));
        EXPECT_EQ(dimmer.MonitorsInUse(), GetParam().dimMonitors);
        EXPECT_EQ(opened, GetParam().dimMonitors ? 1 : 0) << "not even asked when turned off";
        EXPECT_EQ(::IsWindowVisible(dimmer.Handle()) != FALSE, GetParam().backlight);
        if (GetParam().dimMonitors)
            Pump(2s, [&] { return !monitor->Written().empty(); });
        dimmer.Destroy();
    } // the dimmer's end waits for the monitors to be back
    EXPECT_EQ(monitor->Written(), GetParam().written);
    if (!GetParam().backlight) {
        EXPECT_TRUE(panel->panel.Sets().empty()) << "no panel request without a panel";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Choices, DimmerMonitorTest,
    testing::Values(MonitorRow{"PanelAndMonitors", true, true, {30, 70}},
                    MonitorRow{"PanelOnlyWhenTurnedOff", true, false, {}},
                    MonitorRow{"MonitorsWithoutAPanel", false, true, {30, 70}},
                    MonitorRow{"NothingWithoutAPanelWhenTurnedOff", false, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A desktop on a UPS, or a notebook with its lid closed: without a panel the power broadcasts
// still reach the monitors, three seconds later, with the level of the new source.
TEST(DimmerWndTest, WithoutAPanelAPowerChangeAppliesTheOtherLevelToTheMonitors) {
    auto panel = MakePanel(false);
    auto monitor = std::make_shared<RecordingMonitor>();
    DimmerSettings settings = DimmerOn(panel, 30, 60);
    settings.openMonitors = [monitor] { return monitor; };
    {
        bool visibleAtCreate = true;
        WatchedDimmer dimmer(std::move(settings), visibleAtCreate);
        ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE,
                                        kDimmerRect, nullptr, 0));
        Pump(2s, [&] { return !monitor->Written().empty(); });
        panel->power.acLineStatus = 0;
        ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
        Pump(6s, [&] { return monitor->Written().size() >= 2; });
        dimmer.Destroy();
    }
    EXPECT_EQ(monitor->Written(), (std::vector<std::uint32_t>{30, 60, 70}));
    EXPECT_TRUE(panel->panel.Sets().empty());
}

// One qualifying broadcast among others: the worker waits three seconds, captures what the
// system set meanwhile, and applies the level of the source then in force; the teardown puts the
// captured record back.
TEST(DimmerWndTest, QualifyingBroadcastAppliesThreeSecondsLaterAndTheCaptureIsRestored) {
    auto panel = MakePanel(true);
    bool visibleAtCreate = true;
    WatchedDimmer dimmer(DimmerOn(panel, 30, 60), visibleAtCreate);
    ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE, kDimmerRect,
                                    nullptr, 0));
    // The system switches to battery and sets its own battery brightness.
    panel->power.acLineStatus = 0;
    panel->panel.SetCurrent({kDisplayPolicyDc, 45, 45});
    const auto sent = std::chrono::steady_clock::now();
    ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0); // 0x7
    ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0);       // 0x4: no
    Pump(6s, [&] { return panel->panel.Sets().size() >= 2; });
    const std::vector<test::RecordingPanel::Set> sets = panel->panel.Sets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].record, (DisplayBrightness{kDisplayPolicyDc, 60, 60}));
    EXPECT_GE(sets[1].when - sent, 2900ms);
    EXPECT_LT(sets[1].when - sent, 4500ms);
    EXPECT_EQ(panel->panel.Queries(), 2) << "one at detection, one capture before the apply";
    Pump(500ms); // a 0x4 worker would be due now as well
    EXPECT_EQ(panel->panel.Sets().size(), 2u);

    dimmer.Destroy();
    EXPECT_EQ(panel->panel.Records().back(), (DisplayBrightness{kDisplayPolicyDc, 45, 45}));
    EXPECT_TRUE(panel->schemes.switches.empty());
    EXPECT_EQ(panel->panel.Closes(), 1);
}

TEST(DimmerWndTest, StopDuringTheWaitAppliesNothingAndASecondStopIsHarmless) {
    auto panel = MakePanel(true);
    bool visibleAtCreate = true;
    WatchedDimmer dimmer(DimmerOn(panel), visibleAtCreate);
    ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE, kDimmerRect,
                                    nullptr, 0));
    ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    Pump(300ms);
    const auto stopping = std::chrono::steady_clock::now();
    EXPECT_TRUE(dimmer.StopWorkers());
    EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s) << "the wait ends at once";
    EXPECT_EQ(panel->panel.Sets().size(), 1u) << "only the apply at creation";
    EXPECT_EQ(panel->panel.Queries(), 1) << "no capture";
    EXPECT_EQ(panel->schemes.switches.size(), 2u) << "nothing captured: the scheme is re-applied";
    EXPECT_EQ(dimmer.Painter(), nullptr);
    EXPECT_TRUE(dimmer.StopWorkers());
    ::SendMessageW(dimmer.Handle(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    dimmer.Destroy();
    Pump(3500ms);
    EXPECT_EQ(panel->panel.Sets().size(), 1u);
    EXPECT_EQ(panel->schemes.switches.size(), 2u);
    EXPECT_EQ(panel->panel.Closes(), 1);
}

// The close thread releases the painter; the window thread gets its cursor back.
TEST(DimmerWndTest, TeardownOnAnotherThreadGivesTheCursorBackToTheWindowThread) {
    auto panel = MakePanel(true);
    const int before = CursorShowCount();
    bool visibleAtCreate = true;
    WatchedDimmer dimmer(DimmerOn(panel), visibleAtCreate);
    ASSERT_TRUE(dimmer.CreateDimmer(WS_EX_TOPMOST, L"dimmer", WS_POPUP | WS_VISIBLE, kDimmerRect,
                                    nullptr, 0));
    EXPECT_EQ(CursorShowCount(), before - 1);
    std::thread([&] { dimmer.StopWorkers(); }).join();
    EXPECT_EQ(panel->schemes.switches.size(), 2u) << "brightness back";
    Pump(200ms, [&] { return CursorShowCount() == before; });
    EXPECT_EQ(CursorShowCount(), before);
    dimmer.Destroy();
}

} // namespace
} // namespace dp
