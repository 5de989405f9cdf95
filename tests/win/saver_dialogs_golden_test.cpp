// The saver's dialogs as the user sees them at each scaling: the About and settings dialogs
// (without a panel, so the backlight controls are disabled) compared with
// tests/golden/dialog_*.png at 96 dpi and dialog_*_144dpi.png at 150 %; and at 100, 125, 150
// and 200 % (each a child process started at that resolution), in every language the product
// ships, no text cut off and nothing overlapping in them or in the preview's message box.
#include "richmsg/win32/rich_message_box.h"
#include "settings/localisation.h"
#include "settings/win32/win32_stores.h"
#include "testing/golden/golden_image.h"
#include "tests/support/dialog_fit.h"
#include "tests/support/dpi_child.h"
#include "tests/support/saver_dialogs.h"
#include "ui/win32/settings_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

using test::FakeAboutHost;
using test::ShowAndLook;

constexpr GoldenTolerance kTolerance{40, 0.01};
constexpr const wchar_t* kLanguages[] = {L"ENU", L"DEU", L"FRA", L"ESP", L"CHS", L"JPN"};

void AwayFromTheDialogs() {
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 2, ::GetSystemMetrics(SM_CYSCREEN) - 2);
}

void ShowAbout(FakeAboutHost& host, const std::function<void(HWND)>& look) {
    AwayFromTheDialogs();
    ShowAndLook(
        [&] {
            AboutDialog dialog(host);
            dialog.DoModal();
        },
        nullptr, look, IDOK);
}

std::vector<std::wstring> ShowSettings(FakeAboutHost& host, const std::function<void(HWND)>& look) {
    AwayFromTheDialogs();
    Parameters parameters{40, 20, 128, 1};
    return ShowAndLook(
        [&] {
            SettingsDialog dialog(host, parameters, nullptr);
            dialog.DoModal();
        },
        L"Duskpanel Settings", look);
}

void ShowPreviewBox(const std::wstring& text, const std::function<void(HWND)>& look) {
    RichMessageBoxParams params;
    params.caption = L"Duskpanel Settings";
    params.messageText = text.c_str();
    params.style = MB_ICONINFORMATION | MB_OK | RMB_NOSOUND;
    params.timeoutSeconds = 10;
    ShowAndLook(
        [&] {
            RichMessageBox box;
            box.Show(params);
        },
        L"Duskpanel Settings", look);
}

class SaverDialogGoldenTest : public testing::TestWithParam<int> {
protected:
    std::string Name(const std::string& name) const { return test::GoldenName(name, GetParam()); }
};

TEST_P(SaverDialogGoldenTest, About) {
    if (test::RunAtDpi(GetParam()))
        return;
    FakeAboutHost host;
    PixelBuffer shot(1, 1, 0);
    ShowAbout(host, [&](HWND dialog) { shot = test::CaptureWindow(dialog); });
    EXPECT_TRUE(MatchesGolden(shot, Name("dialog_about"), kTolerance));
}

TEST_P(SaverDialogGoldenTest, SettingsWithoutAPanel) {
    if (test::RunAtDpi(GetParam()))
        return;
    FakeAboutHost host;
    PixelBuffer shot(1, 1, 0);
    const std::vector<std::wstring> boxes =
        ShowSettings(host, [&](HWND dialog) { shot = test::CaptureWindow(dialog); });
    EXPECT_EQ(boxes.size(), 1u) << "the box saying the backlight cannot be controlled";
    EXPECT_TRUE(MatchesGolden(shot, Name("dialog_settings"), kTolerance));
}

INSTANTIATE_TEST_SUITE_P(Dpi, SaverDialogGoldenTest, testing::Values(96, 144),
                         [](const auto& info) { return std::to_string(info.param); });

class SaverDialogFitTest : public testing::TestWithParam<int> {};

TEST_P(SaverDialogFitTest, EveryTextFitsInEveryLanguage) {
    const int dpi = GetParam();
    if (test::RunAtDpi(dpi))
        return;
    Win32IniStore ini;
    std::vector<std::string> problems;
    int looked = 0;
    const auto check = [&](const std::string& what) {
        return [&problems, &looked, what, dpi](HWND window) {
            ++looked;
            for (const std::string& problem : test::FitProblems(window, dpi))
                problems.push_back(what + ": " + problem);
        };
    };
    for (const wchar_t* language : kLanguages) {
        FakeAboutHost host;
        host.languageFile = test::BuiltLanguageFile(language);
        const std::string name = test::Narrow(language);
        ShowAbout(host, check("About " + name));
        ShowSettings(host, check("settings " + name));
        ShowPreviewBox(LookupMessage(ini, host.languageFile, kPrevBrightnessText),
                       check("preview box " + name));
    }
    EXPECT_EQ(looked, 3 * 6);
    EXPECT_EQ(problems, std::vector<std::string>{}) << "at " << dpi << " dpi";
}

INSTANTIATE_TEST_SUITE_P(Dpi, SaverDialogFitTest, testing::Values(96, 120, 144, 192),
                         [](const auto& info) { return std::to_string(info.param); });

} // namespace
} // namespace dp
