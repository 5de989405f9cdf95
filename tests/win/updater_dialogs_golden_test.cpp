// Renewick's three dialogs from its own templates (this test program carries Renewick's
// resources) as the user sees them: compared with tests/golden/renewick_*.png at 96 dpi and
// renewick_*_144dpi.png at 150 %, and at 100, 125, 150 and 200 % (each a child process started
// at that resolution) with no text cut off and nothing overlapping. The update dialog is shown
// with what a download in progress puts in it, without starting a download.
#include "testing/golden/golden_image.h"
#include "tests/support/dialog_fit.h"
#include "tests/support/dpi_child.h"
#include "tests/support/dialog_shots.h"
#include "updater/download_progress.h"
#include "updater/resource_ids.h"
#include "updater/win32/settings_dialog.h"
#include "updater/win32/update_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace dp {
namespace {

constexpr GoldenTolerance kTolerance{40, 0.01};

// The update dialog's template with a download under way: the caption the dialog gives itself,
// the file being fetched, the bar and the figures.
class DownloadingLook : public Dialog {
public:
    DownloadingLook() : Dialog(IDD_UPDATE, nullptr) {}

protected:
    bool OnInitDialog() override {
        ::SetWindowTextW(Handle(), L"Renewick for Duskpanel");
        ::SetDlgItemTextW(Handle(), IDC_STATE,
                          L"http://updates.nerovane.example/duskpanel/"
                          L"Duskpanel-Setup-2.1-x64.exe");
        ::SendDlgItemMessageW(Handle(), IDC_PROGRESS, PBM_SETPOS, 40, 0);
        ::SetDlgItemTextW(Handle(), IDC_TRANSFER_TEXT,
                          FormatTransferText(1258291, 3145728, 812.5f).c_str());
        return true;
    }
};

struct Shown {
    const char* golden;
    const wchar_t* title;
    std::function<void()> show;
};

std::vector<Shown> Dialogs() {
    return {{"renewick_about", L"About Renewick", [] { UpdaterAboutDialog(nullptr).DoModal(); }},
            {"renewick_update", L"Renewick for Duskpanel", [] { DownloadingLook().DoModal(); }},
            {"renewick_settings", L"Renewick", [] { UpdaterSettingsDialog(nullptr).DoModal(); }}};
}

void Look(const Shown& dialog, const std::function<void(HWND)>& look) {
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 2, ::GetSystemMetrics(SM_CYSCREEN) - 2);
    test::ShowAndLook(dialog.show, dialog.title, look);
}

class UpdaterDialogGoldenTest : public testing::TestWithParam<int> {};

TEST_P(UpdaterDialogGoldenTest, EachDialog) {
    if (test::RunAtDpi(GetParam()))
        return;
    for (const Shown& dialog : Dialogs()) {
        PixelBuffer shot(1, 1, 0);
        Look(dialog, [&](HWND window) { shot = test::CaptureWindow(window); });
        EXPECT_TRUE(MatchesGolden(shot, test::GoldenName(dialog.golden, GetParam()), kTolerance));
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, UpdaterDialogGoldenTest, testing::Values(96, 144),
                         [](const auto& info) { return std::to_string(info.param); });

class UpdaterDialogFitTest : public testing::TestWithParam<int> {};

TEST_P(UpdaterDialogFitTest, EveryTextFits) {
    const int dpi = GetParam();
    if (test::RunAtDpi(dpi))
        return;
    std::vector<std::string> problems;
    int looked = 0;
    for (const Shown& dialog : Dialogs())
        Look(dialog, [&](HWND window) {
            ++looked;
            for (const std::string& problem : test::FitProblems(window, dpi))
                problems.push_back(std::string(dialog.golden) + ": " + problem);
        });
    EXPECT_EQ(looked, 3);
    EXPECT_EQ(problems, std::vector<std::string>{}) << "at " << dpi << " dpi";
}

INSTANTIATE_TEST_SUITE_P(Dpi, UpdaterDialogFitTest, testing::Values(96, 120, 144, 192),
                         [](const auto& info) { return std::to_string(info.param); });

} // namespace
} // namespace dp
