// The rich message box under Wine, driven as a user would: its window found by title, its
// button texts read, keys and commands posted (tests/support/modal_poller.h). No test waits
// longer than the countdown it watches.
#include "framework/win32/handles.h"
#include "renderer/win32/html_drawer.h"
#include "richmsg/win32/rich_message_box.h"
#include "richmsg/message_box_layout.h"
#include "richmsg/message_box_text.h"
#include "tests/support/handle_counts.h"
#include "tests/support/modal_poller.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace dp {
namespace {

using test::FreeGdiHandles;
using test::FreeUserHandles;
using test::ModalPoller;
using test::TextOf;

constexpr UINT kReportMessage = WM_APP + 7;

// A top-level window that is active (so that a box without an owner takes it) and runs a
// function when the box's Report button sends it kReportMessage.
class Host {
public:
    explicit Host(const wchar_t* title) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &Host::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"DpBoxTestHost";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                  100, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
        ::SetActiveWindow(hwnd_);
    }
    ~Host() { ::DestroyWindow(hwnd_); }
    HWND get() const { return hwnd_; }
    static inline std::function<void()> onReport;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kReportMessage && onReport) {
            onReport();
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND hwnd_;
};

HWND FindBox(const wchar_t* title) {
    return ::FindWindowW(L"#32770", title);
}

void Press(HWND box, int id) {
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// The key as the dialog's modal loop receives it: for one of its controls.
void PressEscape(HWND control) {
    ::PostMessageW(control, WM_KEYDOWN, VK_ESCAPE, 0);
}

// The seconds of a label "OK = n"; -1 for another label.
int Seconds(const std::wstring& label) {
    return label.rfind(L"OK = ", 0) == 0
               ? static_cast<int>(std::wcstol(label.c_str() + 5, nullptr, 10))
               : -1;
}

HWND FindCheckbox(HWND box) {
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if ((::GetWindowLongW(child, GWL_STYLE) & 0xF) == BS_AUTOCHECKBOX)
            return child;
    return nullptr;
}

// The preview box of the settings dialog: no owner given, no caption, OK with the information
// icon, ten seconds.
RichMessageBoxParams PreviewBox() {
    RichMessageBoxParams params;
    params.messageText = L"Stop preview. Reverting to previous brightness.";
    params.style = MB_ICONINFORMATION;
    params.timeoutSeconds = 10;
    return params;
}

TEST(RichMessageBoxTest, PreviewBoxCountsDownOnOkAndClosesItselfWithOk) {
    Host settings(L"Duskpanel Settings");
    std::vector<std::wstring> labels;
    std::vector<double> times;
    const auto start = std::chrono::steady_clock::now();
    ModalPoller poller([&] {
        HWND ok = ::GetDlgItem(FindBox(L"Duskpanel Settings"), IDOK);
        if (ok && (labels.empty() || labels.back() != TextOf(ok))) {
            labels.push_back(TextOf(ok));
            times.push_back(test::SecondsSince(start));
        }
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(PreviewBox()), IDOK);
    const double closedAfter = test::SecondsSince(start);
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels[0], L"OK = 10");
    EXPECT_EQ(labels[1], L"OK = 9");
    EXPECT_GE(times[1], 0.9); // a second after the box opened, give or take a loaded machine
    EXPECT_LE(times[1], 2.5);
    EXPECT_EQ(labels.back(), L"OK = 1");
    EXPECT_GE(closedAfter, 9.0);
}

TEST(RichMessageBoxTest, EscapeEndsThePreviewBoxEarlyWithCancel) {
    Host settings(L"Escape test");
    ModalPoller poller([&] {
        HWND ok = ::GetDlgItem(FindBox(L"Escape test"), IDOK);
        if (ok && TextOf(ok) == L"OK = 10")
            PressEscape(ok);
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(PreviewBox()), IDCANCEL);
}

TEST(RichMessageBoxTest, CheckedCheckboxAndOkAddTheCheckboxBit) {
    RichMessageBoxParams params;
    params.caption = L"Check box";
    params.messageText = L"Reverting.";
    params.style = MB_OK | RMB_CHECKBOX | RMB_NOSOUND;
    ModalPoller poller([] {
        if (HWND box = FindBox(L"Check box")) {
            ::SendMessageW(FindCheckbox(box), BM_CLICK, 0, 0);
            ::PostMessageW(::GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
        }
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params), 0x02000001);
}

TEST(RichMessageBoxTest, CustomButtonsCannotBeEscaped) {
    RichMessageBoxParams params;
    params.caption = L"Custom";
    params.style = MB_ICONQUESTION | RMB_NOSOUND;
    params.customButtons = L"A\r\nB\r\n\r\nC";
    std::vector<std::wstring> labels;
    bool closeGreyed = false;
    int step = 0;
    ModalPoller poller([&] {
        HWND box = FindBox(L"Custom");
        if (!box)
            return;
        if (step++ == 0) {
            for (int id = IDCUSTOM1; id <= IDCUSTOM4; ++id)
                labels.push_back(TextOf(::GetDlgItem(box, id)));
            closeGreyed =
                ::GetMenuState(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED;
            PressEscape(::GetDlgItem(box, IDCUSTOM1));
            ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            Press(box, IDCUSTOM2); // still there after Escape and the close box
        }
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params), IDCUSTOM2);
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"A", L"B", L"C", L""}));
    EXPECT_TRUE(closeGreyed);
}

TEST(RichMessageBoxTest, MoreShowsTheFooterAndGrowsTheDialogByItsHeight) {
    const wchar_t* footer = L"<b>Details</b>\nThe panel goes back to the level read at opening.";
    RichMessageBoxParams params;
    params.caption = L"Footer";
    params.messageText = L"Reverting.";
    params.footerText = footer;
    params.style = MB_OK | RMB_NOSOUND;
    std::vector<int> heights;
    std::vector<std::wstring> moreLabels;
    ModalPoller poller([&] {
        HWND box = FindBox(L"Footer");
        if (!box)
            return;
        RECT rect{};
        ::GetWindowRect(box, &rect);
        heights.push_back(rect.bottom - rect.top);
        moreLabels.push_back(TextOf(::GetDlgItem(box, IDMORE)));
        Press(box, heights.size() < 3 ? IDMORE : IDOK);
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params), IDOK);

    HtmlDrawer drawer;
    WindowDc screen(nullptr);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int footerHeight =
        drawer.Measure(screen.get(), footer, richbox::MaxTextWidth(work.right - work.left)).cy +
        2 * richbox::kTextMargin;
    ASSERT_EQ(heights.size(), 3u);
    EXPECT_EQ(heights[1] - heights[0], footerHeight);
    EXPECT_EQ(heights[2], heights[0]);
    EXPECT_EQ(moreLabels, (std::vector<std::wstring>{L"More >>", L"<< More", L"More >>"}));
}

struct WideMessageRow {
    const char* name;
    std::wstring message;
};

class WideMessageTest : public testing::TestWithParam<WideMessageRow> {};

// Beside the icon, a message with no place to break keeps to the width the box allows for
// texts: it is cut by character instead of widening the box (and so do many buttons).
TEST_P(WideMessageTest, TheBoxKeepsToItsCap) {
    RichMessageBoxParams params;
    params.caption = L"Wide";
    params.messageText = GetParam().message.c_str();
    params.style = MB_ICONWARNING | MB_OK | RMB_NOSOUND;
    RECT client{};
    ModalPoller poller([&] {
        HWND box = FindBox(L"Wide");
        if (!box)
            return;
        ::GetClientRect(box, &client);
        Press(box, IDOK);
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params), IDOK);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_GT(client.right, 0);
    EXPECT_LE(client.right,
              richbox::MaxTextWidth(work.right - work.left) + 2 * richbox::kTextMargin);
}

std::wstring LongPath() {
    std::wstring path = L"C:";
    for (int i = 0; i < 40; ++i)
        path += L"\\folder" + std::to_wstring(i);
    return path;
}

std::wstring CjkSentence() {
    std::wstring text;
    for (int i = 0; i < 300; ++i)
        text.push_back(static_cast<wchar_t>(0x4E00 + i));
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, WideMessageTest,
    testing::Values(WideMessageRow{"LongPath", L"Cannot open " + LongPath()},
                    WideMessageRow{"CjkSentence", CjkSentence()},
                    WideMessageRow{"WideTable", L"<table width=30000><tr><td>a</td></tr></table>"}),
    [](const auto& info) { return std::string(info.param.name); });

// Dragged to a monitor at 150 % (the system sends WM_DPICHANGED with a rectangle there), the
// box lays itself out at 144 dpi: a larger font, larger buttons and margins, the same share of
// the screen; it takes the suggested corner, not the suggested size.
TEST(RichMessageBoxTest, MovedToAMonitorOfAnotherScalingItLaysItselfOutAgain) {
    RichMessageBoxParams params;
    params.caption = L"Moved";
    params.messageText = L"The preview of the battery level ends in <b>10 seconds</b>.";
    params.style = MB_OKCANCEL | MB_ICONINFORMATION | RMB_CHECKBOX | RMB_NOSOUND;
    SIZE before{}, after{};
    POINT corner{};
    int buttonHeightBefore = 0, buttonHeightAfter = 0, fontHeightAfter = 0;
    ModalPoller poller([&] {
        HWND box = FindBox(L"Moved");
        if (!box)
            return;
        RECT rect{}, button{};
        ::GetWindowRect(box, &rect);
        ::GetWindowRect(::GetDlgItem(box, IDOK), &button);
        if (before.cx == 0) {
            before = {rect.right - rect.left, rect.bottom - rect.top};
            buttonHeightBefore = button.bottom - button.top;
            RECT suggested{40, 30, 40 + before.cx * 3 / 2, 30 + before.cy * 3 / 2};
            ::SendMessageW(box, WM_DPICHANGED, MAKEWPARAM(144, 144),
                           reinterpret_cast<LPARAM>(&suggested));
            return;
        }
        after = {rect.right - rect.left, rect.bottom - rect.top};
        corner = {rect.left, rect.top};
        buttonHeightAfter = button.bottom - button.top;
        LOGFONTW font{};
        ::GetObjectW(
            reinterpret_cast<HFONT>(::SendMessageW(::GetDlgItem(box, IDOK), WM_GETFONT, 0, 0)),
            sizeof(font), &font);
        fontHeightAfter = font.lfHeight;
        Press(box, IDOK);
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params) & 0xFFFF, IDOK);
    EXPECT_EQ(buttonHeightBefore, 23);
    EXPECT_EQ(buttonHeightAfter, 35) << "23 pixels at 96 dpi";
    EXPECT_LE(fontHeightAfter, -16) << "the message font at 144 dpi";
    EXPECT_NEAR(after.cx, before.cx * 3 / 2, before.cx / 10);
    EXPECT_NEAR(after.cy, before.cy * 3 / 2, before.cy / 10);
    EXPECT_EQ(corner.x, 40);
    EXPECT_EQ(corner.y, 30);
}

// Buttons held in the caption mode: nothing closes the box until the seconds are over, then
// Enter presses the default button.
TEST(RichMessageBoxTest, WaitInTheTitleThenEnterPressesTheDefault) {
    RichMessageBoxParams params;
    params.caption = L"Wait";
    params.messageText = L"Read this first.";
    params.style = MB_OKCANCEL | RMB_NOSOUND;
    params.disabledSeconds = 2;
    params.countdownInCaption = 1;
    std::vector<std::wstring> titles;
    bool heldWhileWaiting = false;
    ModalPoller poller([&] {
        HWND box = ::FindWindowW(L"#32770", nullptr);
        if (!box || (!titles.empty() && titles.back() == TextOf(box)))
            return;
        titles.push_back(TextOf(box));
        HWND ok = ::GetDlgItem(box, IDOK);
        const bool closeGreyed =
            ::GetMenuState(::GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED;
        if (titles.size() == 1) {
            heldWhileWaiting = !::IsWindowEnabled(ok) &&
                               !::IsWindowEnabled(::GetDlgItem(box, IDCANCEL)) && closeGreyed;
            PressEscape(ok);
            ::PostMessageW(ok, WM_KEYDOWN, VK_RETURN, 0);
        } else if (titles.back() == L"Wait" && ::IsWindowEnabled(ok) && !closeGreyed) {
            ::PostMessageW(::GetFocus(), WM_KEYDOWN, VK_RETURN, 0);
        }
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params), IDOK);
    EXPECT_TRUE(heldWhileWaiting);
    EXPECT_EQ(titles, (std::vector<std::wstring>{L"Wait (2 seconds remaining)",
                                                 L"Wait (1 seconds remaining)", L"Wait"}));
}

// A countdown box shown from the Report handler of another countdown box: each counts its own
// seconds and keeps its own buttons.
TEST(RichMessageBoxTest, BoxOverABoxKeepsItsOwnCountdown) {
    Host host(L"Nested host");
    std::vector<std::wstring> outerWhileInner;
    std::vector<std::wstring> innerLabels;
    INT_PTR innerResult = 0;
    Host::onReport = [&] {
        RichMessageBoxParams inner;
        inner.caption = L"Inner";
        inner.messageText = L"Inner box";
        inner.style = MB_OK | RMB_NOSOUND;
        inner.timeoutSeconds = 2;
        RichMessageBox box;
        innerResult = box.Show(inner);
    };
    bool reported = false;
    std::wstring outerAfter;
    ModalPoller poller([&] {
        HWND outer = FindBox(L"Outer");
        HWND inner = FindBox(L"Inner");
        if (!outer)
            return;
        if (inner) {
            outerWhileInner.push_back(TextOf(::GetDlgItem(outer, IDOK)));
            const std::wstring label = TextOf(::GetDlgItem(inner, IDOK));
            if (innerLabels.empty() || innerLabels.back() != label)
                innerLabels.push_back(label);
        } else if (!reported) {
            reported = true;
            Press(outer, IDREPORT);
        } else if (innerResult != 0 && outerAfter.empty()) {
            outerAfter = TextOf(::GetDlgItem(outer, IDOK));
            PressEscape(::GetDlgItem(outer, IDOK));
        }
    });
    RichMessageBoxParams outer;
    outer.parentWindow = host.get();
    outer.caption = L"Outer";
    outer.messageText = L"Outer box";
    outer.style = MB_OK | RMB_NOSOUND;
    outer.reportMessage = kReportMessage;
    outer.timeoutSeconds = 30;
    RichMessageBox box;
    EXPECT_EQ(box.Show(outer), IDCANCEL);
    Host::onReport = nullptr;
    EXPECT_EQ(innerResult, IDOK);
    EXPECT_EQ(innerLabels, (std::vector<std::wstring>{L"OK = 2", L"OK = 1"}));
    ASSERT_FALSE(outerWhileInner.empty());
    for (const std::wstring& label : outerWhileInner) {
        EXPECT_GE(Seconds(label), 26) << testing::PrintToString(label);
        EXPECT_LE(Seconds(label), 30) << testing::PrintToString(label);
    }
    EXPECT_GE(Seconds(outerAfter), 26) << testing::PrintToString(outerAfter);
}

// The saver's string table is where a box of Duskpanel.scr takes its labels from first.
TEST(RichMessageBoxTest, SaverStringTableHoldsTheBuiltInLabels) {
    wchar_t self[MAX_PATH] = {};
    std::wstring path(self, ::GetModuleFileNameW(nullptr, self, MAX_PATH));
    path = path.substr(0, path.find_last_of(L'\\')); // <build>\tests
    path = path.substr(0, path.find_last_of(L'\\')) + L"\\bin\\Duskpanel.scr";
    UniqueModule saver(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(saver) << testing::PrintToString(path);
    int checked = 0;
    for (int key = richbox::kCaptionCountdownLabel; key <= richbox::kMore; ++key) {
        const richbox::BuiltInLabel* label = richbox::FindBuiltInLabel(key);
        if (!label)
            continue;
        wchar_t text[300] = {};
        ::LoadStringW(saver.get(), label->stringId, text, 300);
        EXPECT_STREQ(text, label->text) << label->stringId;
        ++checked;
    }
    EXPECT_EQ(checked, 20);
}

// Boxes that take the paths worth checking: icon, header and bands with captioned separators,
// check box and custom buttons, the footer folded out, a countdown ended by Escape. Each is
// painted before it closes.
void ShowAndClose(int variant) {
    RichMessageBoxParams params;
    params.caption = L"Leak probe";
    params.messageText = L"A message with a <a href=\"http://localhost/\">link</a>.";
    params.style = MB_ICONEXCLAMATION | RMB_NOSOUND;
    int closeWith = IDOK;
    switch (variant % 4) {
    case 1:
        params.headerHeight = 40;
        params.headerText = L"<h2>Header</h2>";
        params.headerBand = {1, 2, L"Caption", 2, RGB(0, 0, 128), 0, RGB(255, 255, 255)};
        params.buttonBand = {2, 0, L"Buttons", 1, RGB(200, 200, 255), 0, RGB(255, 255, 255)};
        params.style |= RMB_CHECKBOX | RMB_CHECKBOX_CHECKED;
        params.customButtons = L"Keep\nRevert";
        closeWith = IDCUSTOM2;
        break;
    case 2:
        params.footerText = L"Footer <b>text</b>";
        params.footerBand = {3, 1, L"More", 0, RGB(230, 230, 230), 0, 0};
        break;
    case 3:
        params.timeoutSeconds = 30;
        params.style = MB_OKCANCEL | MB_HELP | MB_ICONHAND | RMB_NOSOUND;
        closeWith = IDCANCEL;
        break;
    }
    ModalPoller poller([&] {
        HWND box = FindBox(L"Leak probe");
        if (!box)
            return;
        if (variant % 4 == 2)
            ::SendMessageW(box, WM_COMMAND, IDMORE, 0);
        ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        if (closeWith == IDCANCEL)
            PressEscape(::GetDlgItem(box, IDOK));
        else
            Press(box, closeWith);
    });
    RichMessageBox box;
    EXPECT_EQ(box.Show(params) & 0xFFFF, closeWith);
}

TEST(RichMessageBoxTest, TwoHundredBoxesLeaveTheHandleCountsWhereTheyWere) {
    for (int i = 0; i < 4; ++i) // what is made once per process (classes, system icons, fonts)
        ShowAndClose(i);
    const int gdiBefore = FreeGdiHandles();
    const int userBefore = FreeUserHandles();
    for (int i = 0; i < 200; ++i)
        ShowAndClose(i);
    const int gdiAfter = FreeGdiHandles();
    const int userAfter = FreeUserHandles();
    std::printf("free handles before and after 200 boxes: GDI %d, %d; USER %d, %d\n", gdiBefore,
                gdiAfter, userBefore, userAfter);
    EXPECT_EQ(gdiAfter, gdiBefore);
    EXPECT_EQ(userAfter, userBefore);
}

} // namespace
} // namespace dp
