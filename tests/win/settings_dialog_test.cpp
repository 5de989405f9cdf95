// The settings dialog from the saver's own template (this test program carries the saver's
// resources), without a panel: its About button, pressed as a user would, many times over, and
// its manual link.
#include "ui/win32/settings_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "tests/support/handle_counts.h"
#include "tests/support/saver_dialogs.h"
#include "ui/resource_ids.h"

namespace dp {
namespace {

using test::FindShownDialog;

constexpr int kRounds = 40;
constexpr int kWarmRounds = 2; // what is made once per process (classes, cursors, fonts)

// Opens About from the dialog's button kRounds times, each time painted and closed with OK,
// counting the free GDI and USER handles after the first rounds and after the last.
class AboutRounds {
public:
    HWND settings = nullptr;
    std::vector<bool> ownedBySettings;
    std::wstring manualTooltip;
    bool manualIsTabStop = false;
    int gdiBefore = 0, gdiAfter = 0, userBefore = 0, userAfter = 0;

    void Step() {
        switch (state_) {
        case State::WaitSettings:
            return WaitSettings();
        case State::PressAbout:
            return PressAbout();
        case State::WaitAbout:
            return WaitAbout();
        case State::WaitAboutGone:
            if (!FindShownDialog(L"About Duskpanel")) {
                ++rounds_;
                state_ = State::PressAbout;
            }
            return;
        case State::Done:
            return;
        }
    }

private:
    enum class State { WaitSettings, PressAbout, WaitAbout, WaitAboutGone, Done };

    void WaitSettings() {
        settings = FindShownDialog(L"Duskpanel Settings");
        if (HWND box = FindShownDialog(nullptr, settings)) { // "no backlight control"
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            return;
        }
        if (!settings)
            return;
        HWND manual = ::GetDlgItem(settings, IDC_MANUAL_LINK);
        manualTooltip = test::TooltipText(manual);
        manualIsTabStop = (::GetWindowLongW(manual, GWL_STYLE) & WS_TABSTOP) != 0;
        state_ = State::PressAbout;
    }

    void PressAbout() {
        if (rounds_ == kWarmRounds) {
            gdiBefore = test::FreeGdiHandles();
            userBefore = test::FreeUserHandles();
        }
        if (rounds_ == kRounds) {
            gdiAfter = test::FreeGdiHandles();
            userAfter = test::FreeUserHandles();
            ::PostMessageW(settings, WM_COMMAND, IDCANCEL, 0);
            state_ = State::Done;
            return;
        }
        ::PostMessageW(settings, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_BUTTON, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(settings, IDC_ABOUT_BUTTON)));
        state_ = State::WaitAbout;
    }

    void WaitAbout() {
        HWND about = FindShownDialog(L"About Duskpanel");
        if (!about)
            return;
        ownedBySettings.push_back(::GetWindow(about, GW_OWNER) == settings);
        ::RedrawWindow(about, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::PostMessageW(about, WM_COMMAND, IDOK, 0);
        state_ = State::WaitAboutGone;
    }

    State state_ = State::WaitSettings;
    int rounds_ = 0;
};

TEST(SettingsDialogTest, AboutOpensOverTheDialogAndLeavesNoHandlesBehind) {
    test::FakeAboutHost host;
    Parameters parameters{40, 20, 128, 1};
    AboutRounds rounds;
    {
        test::ModalPoller poller([&] { rounds.Step(); });
        SettingsDialog dialog(host, parameters, nullptr);
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    }
    std::printf("free handles before and after %d About dialogs: GDI %d, %d; USER %d, %d\n",
                kRounds - kWarmRounds, rounds.gdiBefore, rounds.gdiAfter, rounds.userBefore,
                rounds.userAfter);
    EXPECT_EQ(rounds.ownedBySettings, std::vector<bool>(kRounds, true));
    EXPECT_EQ(rounds.gdiAfter, rounds.gdiBefore);
    EXPECT_EQ(rounds.userAfter, rounds.userBefore);
    EXPECT_EQ(rounds.manualTooltip, L"http://support.test/") << "the support address";
    EXPECT_TRUE(rounds.manualIsTabStop);
    EXPECT_EQ(host.launches, 0);
}

} // namespace
} // namespace dp
