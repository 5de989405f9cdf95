// LinkLabel in a dialog of the test's own (an in-memory template: a button, the link, a default
// OK button), driven as a user would: the pointer, clicks, Tab, Enter and Space. Opening an
// address is the one seam (OpenLink); the box of a failed open is the real one, answered by
// the test.
#include "ui/win32/link_label.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/modal_poller.h"

namespace dp {
namespace {

using test::ModalPoller;
using test::TextOf;

constexpr int kFirstButton = 101;
constexpr int kLinkId = 102;
constexpr COLORREF kBlue = 0x00EE0000, kPurple = 0x008B1A55, kRed = 0x000000FF;
constexpr wchar_t kUrl[] = L"http://manual.test/duskpanel/";

// A DLGTEMPLATE with its items, DWORD-aligned as DialogBoxIndirect wants it.
class TemplateBuilder {
public:
    TemplateBuilder() {
        Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
        Dword(0);
        Word(3); // items
        for (short value : {0, 0, 170, 50})
            Word(static_cast<WORD>(value));
        Word(0); // menu
        Word(0); // class
        Text(L"Links");
        Word(8);
        Text(L"MS Shell Dlg");
        Item(kFirstButton, 0x0080, L"First", WS_TABSTOP | BS_PUSHBUTTON, 5, 5, 50, 14);
        Item(kLinkId, 0x0082, L"Online Manual", SS_LEFT, 65, 8, 60, 8);
        Item(IDOK, 0x0080, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 5, 28, 50, 14);
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value) {
        Word(LOWORD(value));
        Word(HIWORD(value));
    }
    void Text(const wchar_t* text) {
        for (; *text; ++text)
            Word(*text);
        Word(0);
    }
    void Item(int id, WORD atom, const wchar_t* text, DWORD style, short x, short y, short cx,
              short cy) {
        if (words_.size() % 2)
            Word(0);
        Dword(WS_CHILD | WS_VISIBLE | style);
        Dword(0);
        for (short value : {x, y, cx, cy})
            Word(static_cast<WORD>(value));
        Word(static_cast<WORD>(id));
        Word(0xFFFF);
        Word(atom);
        Text(text);
        Word(0); // no creation data
    }
    std::vector<WORD> words_;
};

class ProbeLink : public LinkLabel {
public:
    INT_PTR openResult = 42; // ShellExecuteW's success
    std::vector<std::wstring> events;

protected:
    INT_PTR OpenLink(const std::wstring& url, int showCommand) override {
        events.push_back(L"open " + url + (showCommand == SW_SHOW ? L"" : L" (not SW_SHOW)"));
        return openResult;
    }
    void Beep() override { events.push_back(L"beep"); }
};

// The dialog runs a script: each step is called every few milliseconds until it answers true.
class LinkDialog : public Dialog {
public:
    explicit LinkDialog(const TemplateBuilder& dialogTemplate)
        : Dialog(dialogTemplate.get(), nullptr) {}

    ProbeLink link;
    int underlineMode = kUnderlineAlways;
    std::vector<std::function<bool()>> steps;
    std::vector<std::wstring> boxTexts; // of the message boxes the link showed

    INT_PTR Run() {
        std::size_t next = 0;
        bool inStep = false; // a step that opens a message box is still running in its loop
        ModalPoller poller([&] {
            if (!Handle())
                return;
            if (HWND box = OpenMessageBox()) {
                boxTexts.push_back(TextOf(::GetDlgItem(box, 0xFFFF)));
                ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            if (inStep)
                return;
            inStep = true;
            const bool done = next < steps.size() && steps[next]();
            inStep = false;
            if (done)
                ++next;
            if (next == steps.size() && Handle())
                ::PostMessageW(Handle(), WM_COMMAND, IDCANCEL, 0);
        });
        return DoModal();
    }

    HWND Link() const { return Item(kLinkId); }

    COLORREF Colour() const {
        HDC dc = ::GetDC(Link());
        ::SendMessageW(Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                       reinterpret_cast<LPARAM>(Link()));
        const COLORREF colour = ::GetTextColor(dc);
        ::ReleaseDC(Link(), dc);
        return colour;
    }

    bool Underlined() const {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(Link(), WM_GETFONT, 0, 0)),
                     sizeof(font), &font);
        return font.lfUnderline != 0;
    }

    // The key as the dialog's modal loop receives it: for the control with the focus.
    void Key(WPARAM key, LPARAM flags = 0) const {
        ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, flags);
        ::PostMessageW(::GetFocus(), WM_KEYUP, key, flags | 0xC0000000);
    }

protected:
    void BindControls() override { link.Attach(Handle(), kLinkId); }
    bool OnInitDialog() override {
        link.SetLinkUrl(kUrl);
        link.SetUnderlineMode(underlineMode);
        ::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return true;
    }
    void OnCancel() override { EndDialog(IDCANCEL); }
    void OnOK() override { EndDialog(IDOK); }

private:
    HWND OpenMessageBox() const {
        for (HWND window = ::FindWindowW(L"#32770", nullptr); window;
             window = ::FindWindowExW(nullptr, window, L"#32770", nullptr))
            if (window != Handle() && ::IsWindowVisible(window))
                return window;
        return nullptr;
    }
};

// A step that does something once and goes on.
std::function<bool()> Do(std::function<void()> action) {
    return [action] {
        action();
        return true;
    };
}

TEST(LinkLabelTest, AClickOpensTheAddressAndTheLinkTurnsPurple) {
    const TemplateBuilder dialogTemplate;
    LinkDialog dialog(dialogTemplate);
    std::vector<COLORREF> colours;
    dialog.steps = {Do([&] {
                        colours.push_back(dialog.Colour());
                        ::SendMessageW(dialog.Link(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
                        ::SendMessageW(dialog.Link(), WM_LBUTTONUP, 0, 0);
                    }),
                    Do([&] { colours.push_back(dialog.Colour()); })};
    EXPECT_EQ(dialog.Run(), IDCANCEL);
    EXPECT_EQ(dialog.link.events, std::vector<std::wstring>{L"open " + std::wstring(kUrl)});
    EXPECT_EQ(colours, (std::vector<COLORREF>{kBlue, kPurple}));
    EXPECT_TRUE(dialog.boxTexts.empty());
}

TEST(LinkLabelTest, AFailedOpenBeepsShowsTheReasonAndForgetsTheVisit) {
    const TemplateBuilder dialogTemplate;
    LinkDialog dialog(dialogTemplate);
    std::vector<COLORREF> colours;
    const auto click = [&] {
        ::SendMessageW(dialog.Link(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ::SendMessageW(dialog.Link(), WM_LBUTTONUP, 0, 0);
    };
    dialog.steps = {Do(click), Do([&] {
                        colours.push_back(dialog.Colour());
                        dialog.link.openResult = 26; // SE_ERR_SHARE
                        click();
                    }),
                    Do([&] { colours.push_back(dialog.Colour()); })};
    dialog.Run();
    const std::wstring open = L"open " + std::wstring(kUrl);
    EXPECT_EQ(dialog.link.events, (std::vector<std::wstring>{open, open, L"beep"}));
    EXPECT_EQ(dialog.boxTexts,
              std::vector<std::wstring>{L"Unable to open hyperlink:\n\nA sharing violation "
                                        L"occurred. "});
    EXPECT_EQ(colours, (std::vector<COLORREF>{kPurple, kBlue}));
}

// Mode -1 underlines while the pointer is over the link and stops within a few timer ticks
// after it has left; the colour follows the pointer in every mode.
TEST(LinkLabelTest, UnderlineWhileHoveringComesAndGoesWithThePointer) {
    struct Seen {
        bool underlined;
        COLORREF colour;
        bool operator==(const Seen&) const = default;
    };
    for (const auto& [mode, atRest, hovering] :
         {std::tuple{kUnderlineWhileHovering, false, true},
          std::tuple{kUnderlineAlways, true, true}, std::tuple{0, false, false}}) {
        const TemplateBuilder dialogTemplate;
        LinkDialog dialog(dialogTemplate);
        dialog.underlineMode = mode;
        std::vector<Seen> seen;
        DWORD deadline = 0;
        const auto look = [&] { seen.push_back({dialog.Underlined(), dialog.Colour()}); };
        dialog.steps = {Do([&] {
                            ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 2,
                                           ::GetSystemMetrics(SM_CYSCREEN) - 2);
                            look();
                            ::SendMessageW(dialog.Link(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
                            look();
                            deadline = ::GetTickCount() + 3000;
                        }),
                        [&] { return !dialog.link.Hovering() || ::GetTickCount() > deadline; },
                        Do(look)};
        dialog.Run();
        EXPECT_EQ(seen, (std::vector<Seen>{{atRest, kBlue}, {hovering, kRed}, {atRest, kBlue}}))
            << "mode " << mode;
    }
}

// As the system's link control: Tab reaches the link, Enter and Space open it (Enter does not
// press the default button), a held key opens nothing more, and the focus rectangle shows.
TEST(LinkLabelTest, TheKeyboardReachesAndOpensTheLink) {
    const TemplateBuilder dialogTemplate;
    LinkDialog dialog(dialogTemplate);
    bool tabReachedTheLink = false;
    COLORREF corner = CLR_INVALID, besideCorner = CLR_INVALID;
    const COLORREF dots = ::GetSysColor(COLOR_BTNTEXT);
    dialog.steps = {
        Do([&] {
            // Keyboard cues on, as after the user pressed a key in the dialog.
            ::SendMessageW(dialog.Handle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS),
                           0);
            ::SetFocus(::GetDlgItem(dialog.Handle(), kFirstButton));
            dialog.Key(VK_TAB);
        }),
        Do([&] {
            tabReachedTheLink = ::GetFocus() == dialog.Link();
            ::RedrawWindow(dialog.Link(), nullptr, nullptr,
                           RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
            HDC dc = ::GetDC(dialog.Link());
            corner = ::GetPixel(dc, 0, 0);
            besideCorner = ::GetPixel(dc, 1, 0);
            ::ReleaseDC(dialog.Link(), dc);
            dialog.Key(VK_RETURN);
        }),
        Do([&] { dialog.Key(VK_SPACE); }),
        Do([&] { dialog.Key(VK_RETURN, 1 << 30); }), // held down: a repeat
    };
    EXPECT_EQ(dialog.Run(), IDCANCEL) << "Enter on the link pressed the default button";
    EXPECT_TRUE(tabReachedTheLink);
    const std::wstring open = L"open " + std::wstring(kUrl);
    EXPECT_EQ(dialog.link.events, (std::vector<std::wstring>{open, open}));
    EXPECT_EQ(besideCorner, dots) << "a dotted focus rectangle along the top";
    EXPECT_NE(corner, dots);
}

// The font the dialog manager hands a control when the dialog moves to a monitor of another
// scaling: the link makes its own fonts from it, keeps its underline and fits the larger text.
TEST(LinkLabelTest, ANewFontFromTheDialogBecomesTheLinksFont) {
    const TemplateBuilder dialogTemplate;
    LinkDialog dialog(dialogTemplate);
    LOGFONTW large{};
    large.lfHeight = -24;
    ::lstrcpyW(large.lfFaceName, L"Tahoma");
    HFONT font = ::CreateFontIndirectW(&large);
    int textWidth = 0, clientWidth = 0;
    bool underlined = false;
    dialog.steps = {Do([&] {
        ::SendMessageW(dialog.Link(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        underlined = dialog.Underlined();
        HDC dc = ::GetDC(dialog.Link());
        HGDIOBJ old = ::SelectObject(
            dc, reinterpret_cast<HFONT>(::SendMessageW(dialog.Link(), WM_GETFONT, 0, 0)));
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, L"Online Manual", 13, &extent);
        ::SelectObject(dc, old);
        ::ReleaseDC(dialog.Link(), dc);
        RECT client{};
        ::GetClientRect(dialog.Link(), &client);
        textWidth = extent.cx;
        clientWidth = client.right;
    })};
    dialog.Run();
    ::DeleteObject(font);
    EXPECT_TRUE(underlined);
    EXPECT_GT(textWidth, 100);
    EXPECT_EQ(clientWidth, textWidth);
}

} // namespace
} // namespace dp
