// The About dialog from the saver's own template and version resource (this test program
// carries the saver's resources), driven by messages.
#include "ui/win32/about_dialog.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/saver_dialogs.h"
#include "ui/resource_ids.h"

namespace dp {
namespace {

constexpr UINT kNextStep = WM_APP + 7;
constexpr COLORREF kBlue = 0x00EE0000, kRed = 0x000000FF;

class FakeHost : public AboutHost {
public:
    std::wstring name = L"Duskpanel", languageFile;
    UrlTable urls{L"http://home.test/", L"http://support.test/", L"http://update.test/u.ini"};
    std::vector<std::vector<bool>> launches; // addH, addC, owner given
    bool launchStarts = true;

    const std::wstring& ApplicationName() const override { return name; }
    const UrlTable& LinkAddresses() const override { return urls; }
    const std::wstring& LanguageFile() const override { return languageFile; }
    bool LaunchUpdater(bool addH, bool addC, HWND owner) override {
        launches.push_back({addH, addC, owner != nullptr});
        return launchStarts;
    }
    int CurrentYear() const override { return 2026; }
};

std::wstring Text(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

// The text colour a link answers its parent's colour request with; CLR_INVALID unless it also
// leaves the background alone (NULL_BRUSH).
COLORREF LinkColour(HWND dialog, HWND link) {
    HDC dc = ::GetDC(link);
    const LRESULT brush = ::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(link));
    const COLORREF colour = ::GetTextColor(dc);
    ::ReleaseDC(link, dc);
    return brush == reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)) ? colour : CLR_INVALID;
}

// The text's width in the control's font minus the control's width, and whether it underlines.
std::pair<int, bool> FitAndUnderline(HWND control) {
    const auto font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTW description{};
    ::GetObjectW(font, sizeof(description), &description);
    HDC dc = ::GetDC(control);
    HGDIOBJ old = ::SelectObject(dc, font);
    const std::wstring text = Text(control);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    RECT client{};
    ::GetClientRect(control, &client);
    return {extent.cx - client.right, description.lfUnderline != 0};
}

// Reads what the dialog shows, hovers over the home-page link and leaves it (the pointer is put
// far away and the link's own timer notices), presses "Check for updates" and closes.
class ObservedAbout : public AboutDialog {
public:
    using AboutDialog::AboutDialog;
    std::map<int, std::wstring> texts;          // 0: the caption
    std::map<int, std::wstring> tooltips;       // of the two links
    std::map<int, bool> tabStops;               // of the two links
    int focused = 0;                            // the control with the focus at opening
    std::vector<std::pair<int, bool>> homeLink; // fit and underline at each step
    std::vector<COLORREF> colours;              // before, while hovering, after leaving
    bool openAfterUpdateCheck = false;

protected:
    bool OnInitDialog() override {
        const bool focusFirst = AboutDialog::OnInitDialog();
        texts[0] = Text(Handle());
        for (int id : {IDC_VERSION_LINE, IDC_COPYRIGHT, IDC_HOME_LINK, IDC_CHECK_UPDATES, IDOK})
            texts[id] = Text(Item(id));
        for (int id : {IDC_HOME_LINK, IDC_SUPPORT_LINK}) {
            tooltips[id] = test::TooltipText(Item(id));
            tabStops[id] = (::GetWindowLongW(Item(id), GWL_STYLE) & WS_TABSTOP) != 0;
        }
        ::PostMessageW(Handle(), kNextStep, 0, 0);
        return focusFirst;
    }
    bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR*) override {
        HWND home = Item(IDC_HOME_LINK);
        if (message == kNextStep) {
            focused = ::GetDlgCtrlID(::GetFocus());
            Observe(home);
            ::SendMessageW(home, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            Observe(home);
            // The dialog sits at the screen's top left corner.
            ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 2,
                           ::GetSystemMetrics(SM_CYSCREEN) - 2);
            ::SetTimer(Handle(), 1, 20, nullptr);
            deadline_ = ::GetTickCount() + 3000;
            return true;
        }
        if (message != WM_TIMER ||
            (LinkColour(Handle(), home) == kRed && ::GetTickCount() < deadline_))
            return message == WM_TIMER;
        ::KillTimer(Handle(), 1);
        Observe(home);
        ::SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDC_CHECK_UPDATES, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(IDC_CHECK_UPDATES)));
        openAfterUpdateCheck = ::IsWindowVisible(Handle()) != FALSE;
        if (openAfterUpdateCheck)
            EndDialog(IDOK);
        return true;
    }

private:
    void Observe(HWND link) {
        colours.push_back(LinkColour(Handle(), link));
        homeLink.push_back(FitAndUnderline(link));
    }
    DWORD deadline_ = 0;
};

TEST(AboutDialogTest, ShowsVersionCopyrightLinksAndStartsTheUpdater) {
    FakeHost host;
    ObservedAbout dialog(host);
    // Closed once Renewick runs: the update replaces the program that shows it.
    ASSERT_EQ(dialog.DoModal(), kUpdaterStartedResult);
    EXPECT_EQ(dialog.texts[0], L"About Duskpanel");
    EXPECT_EQ(dialog.texts[IDC_VERSION_LINE], L"Duskpanel  Version 2.0");
    EXPECT_EQ(dialog.texts[IDC_COPYRIGHT], L"Copyright (C) 2010-2026 Nerovane");
    EXPECT_EQ(dialog.tooltips[IDC_HOME_LINK], L"http://home.test/");
    EXPECT_EQ(dialog.tooltips[IDC_SUPPORT_LINK], L"http://support.test/");
    EXPECT_TRUE(dialog.tabStops[IDC_HOME_LINK] && dialog.tabStops[IDC_SUPPORT_LINK])
        << "Tab reaches both links";
    EXPECT_EQ(dialog.focused, IDC_CHECK_UPDATES) << "Enter at opening opens no web page";
    EXPECT_EQ(dialog.texts[IDC_HOME_LINK], L"HomePage") << "link texts come from the template";
    EXPECT_EQ(dialog.texts[IDC_CHECK_UPDATES], L"Check for updates");
    EXPECT_EQ(dialog.texts[IDOK], L"OK");
    EXPECT_EQ(dialog.colours, (std::vector<COLORREF>{kBlue, kRed, kBlue}));
    const std::pair<int, bool> fittedAndUnderlined{0, true};
    EXPECT_EQ(dialog.homeLink, (std::vector<std::pair<int, bool>>(3, fittedAndUnderlined)));
    EXPECT_EQ(host.launches, (std::vector<std::vector<bool>>{{true, false, false}}));
    EXPECT_FALSE(dialog.openAfterUpdateCheck);
}

TEST(AboutDialogTest, StaysOpenWhenTheUpdaterDoesNotStart) {
    FakeHost host;
    host.launchStarts = false;
    ObservedAbout dialog(host);
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(host.launches.size(), 1u);
    EXPECT_TRUE(dialog.openAfterUpdateCheck);
}

TEST(AboutDialogTest, CaptionAndButtonsComeFromTheLanguageFile) {
    wchar_t folder[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, folder);
    FakeHost host;
    host.languageFile = std::wstring(folder) + L"DuskpanelTestsAbout.ini";
    std::ofstream(host.languageFile.c_str()) << "[message_string]\r\nAbout=Info\r\nIDOK=Fine\r\n";
    ObservedAbout dialog(host);
    dialog.DoModal();
    ::DeleteFileW(host.languageFile.c_str());
    EXPECT_EQ(dialog.texts[0], L"Info Duskpanel");
    EXPECT_EQ(dialog.texts[IDOK], L"Fine");
    EXPECT_EQ(dialog.texts[IDC_CHECK_UPDATES], L"Check for updates") << "missing key: built-in";
}

} // namespace
} // namespace dp
