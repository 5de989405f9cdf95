// Four rich message boxes as Wine shows them, frame and buttons included, compared with
// tests/golden/richbox_*.png (regenerated with ./dev goldens; the README shows them), at 96
// dpi and, in a child process started at 150 % scaling, at 144 dpi (richbox_*_144dpi.png).
//
// Tolerance as for the renderer's goldens: 40 per channel, 1 % of the pixels beyond, for the
// fonts of the title, the buttons and the texts.
#include "effects/win32/dib_section.h"
#include "richmsg/win32/rich_message_box.h"
#include "testing/golden/golden_image.h"
#include "tests/support/dpi_child.h"
#include "tests/support/modal_poller.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace dp {
namespace {

constexpr GoldenTolerance kTolerance{40, 0.01};

PixelBuffer CaptureWindow(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    DibSection canvas(rect.right - rect.left, rect.bottom - rect.top);
    HDC dc = ::GetWindowDC(window);
    ::BitBlt(canvas.dc(), 0, 0, canvas.width(), canvas.height(), dc, 0, 0, SRCCOPY);
    ::ReleaseDC(window, dc);
    return canvas.Pixels();
}

// Shows the box, folds its footer out when asked, takes its picture once it is painted and
// closes it with closeWith.
PixelBuffer Screenshot(const RichMessageBoxParams& params, int closeWith, bool footer = false) {
    ::SetCursorPos(0, 0); // no link is hovered
    std::srand(1);
    PixelBuffer shot(1, 1, 0);
    bool folded = !footer;
    test::ModalPoller poller([&] {
        HWND box = ::FindWindowW(L"#32770", params.caption);
        if (!box)
            return;
        if (!folded) {
            folded = true;
            ::PostMessageW(box, WM_COMMAND, IDMORE, 0);
            return;
        }
        // Drawn active, as a box the user has just been shown: which window Wine activates
        // depends on the processes that showed windows before (the child runs at 144 dpi).
        ::SendMessageW(box, WM_NCACTIVATE, TRUE, 0);
        ::RedrawWindow(box, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
        shot = CaptureWindow(box);
        ::PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(closeWith), 0);
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params) & 0xFFFF, closeWith);
    return shot;
}

class RichMessageBoxGoldenTest : public testing::TestWithParam<int> {
protected:
    std::string Name(const std::string& name) const { return test::GoldenName(name, GetParam()); }
};

TEST_P(RichMessageBoxGoldenTest, Plain) {
    if (test::RunAtDpi(GetParam()))
        return;
    RichMessageBoxParams params;
    params.caption = L"Duskpanel Settings";
    params.messageText = L"Stop preview. Reverting to previous brightness.";
    params.style = MB_ICONINFORMATION | RMB_NOSOUND;
    EXPECT_TRUE(MatchesGolden(Screenshot(params, IDOK), Name("richbox_plain"), kTolerance));
}

TEST_P(RichMessageBoxGoldenTest, BandsWithGradientsAndSeparators) {
    if (test::RunAtDpi(GetParam()))
        return;
    RichMessageBoxParams params;
    params.caption = L"Battery power";
    params.headerHeight = 44;
    params.headerText = L"<font color=white><b>Running on battery</b>\n"
                        L"<font size=2>The saver now uses the battery level.</font></font>";
    params.headerBand = {1, 2, L"Levels", 2, RGB(27, 42, 85), 0, RGB(90, 120, 190)};
    params.messageText = L"Mains <b>40</b>, battery <b>20</b>.\nTry the battery level now?";
    params.style = MB_YESNOCANCEL | MB_ICONQUESTION | RMB_NOSOUND;
    params.buttonBand = {2, 0, L"Answer", 1, RGB(236, 233, 216), 0, RGB(196, 208, 236)};
    EXPECT_TRUE(MatchesGolden(Screenshot(params, IDNO), Name("richbox_bands"), kTolerance));
}

TEST_P(RichMessageBoxGoldenTest, CustomButtonsWithCheckbox) {
    if (test::RunAtDpi(GetParam()))
        return;
    RichMessageBoxParams params;
    params.caption = L"Very dark";
    params.messageText = L"The new level <font color=#c04000><b>10</b></font> is very dark.\n"
                         L"Keep it?";
    params.style = MB_ICONEXCLAMATION | RMB_CHECKBOX | RMB_CHECKBOX_CHECKED | RMB_NOSOUND;
    params.customButtons = L"Keep\r\nRevert\r\nAsk later";
    params.checkboxText = L"Do not ask again";
    params.buttonAlign = 1;
    params.dialogBand = {0, 0, nullptr, 0, RGB(250, 250, 244), 0, 0};
    EXPECT_TRUE(MatchesGolden(Screenshot(params, IDCUSTOM1), Name("richbox_custom"), kTolerance));
}

TEST_P(RichMessageBoxGoldenTest, FooterShown) {
    if (test::RunAtDpi(GetParam()))
        return;
    RichMessageBoxParams params;
    params.caption = L"Update check";
    params.messageText = L"Duskpanel is up to date.";
    params.style = MB_ICONINFORMATION | RMB_NOSOUND;
    params.footerText = L"<b>Version 2.0</b> is the newest on offer.\n"
                        L"Checked at <i>updates.example.com</i>.";
    params.footerBand = {1, 1, L"Details", 0, RGB(255, 255, 236), 0, 0};
    params.buttonAlign = 0;
    EXPECT_TRUE(MatchesGolden(Screenshot(params, IDOK, true), Name("richbox_footer"), kTolerance));
}

INSTANTIATE_TEST_SUITE_P(Dpi, RichMessageBoxGoldenTest, testing::Values(96, 144),
                         [](const auto& info) { return std::to_string(info.param); });

} // namespace
} // namespace dp
