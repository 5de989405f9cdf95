// The About dialog from the saver's own template and version resource (this test program
// carries the saver's resources), and the hyperlink control driven by messages.
#include "ui/win32/about_dialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <vector>

#include "product_version.h"
#include "ui/about_texts.h"
#include "ui/resource_ids.h"

namespace dp {
namespace {

constexpr UINT kNextStep = WM_APP + 7;
constexpr COLORREF kBlue = 0x00EE0000, kRed = 0x000000FF, kPurple = 0x008B1A55;

class FakeHost : public AboutHost {
public:
    std::wstring name = L"Duskpanel";
    UrlTable urls{L"http://home.test/", L"http://support.test/", L"http://update.test/u.ini"};
    std::wstring languageFile;
    struct Launch {
        bool addH, addC;
        HWND owner;
    };
    std::vector<Launch> launches;

    const std::wstring& ApplicationName() const override { return name; }
    const UrlTable& LinkAddresses() const override { return urls; }
    const std::wstring& LanguageFile() const override { return languageFile; }
    bool LaunchUpdater(bool addH, bool addC, HWND owner) override {
        launches.push_back({addH, addC, owner});
        return true;
    }
};

std::wstring Text(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

// The colour a link answers its parent's colour request with (NULL_BRUSH: its text only).
COLORREF LinkColour(HWND dialog, HWND link) {
    HDC dc = ::GetDC(link);
    const LRESULT brush = ::SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                         reinterpret_cast<LPARAM>(link));
    const COLORREF colour = ::GetTextColor(dc);
    ::ReleaseDC(link, dc);
    return brush == reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)) ? colour : CLR_INVALID;
}

bool Underlined(HWND control) {
    LOGFONTW font{};
    ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof(font),
                 &font);
    return font.lfUnderline != 0;
}

int TextWidth(HWND control) {
    HDC dc = ::GetDC(control);
    HGDIOBJ old =
        ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = Text(control);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SelectObject(dc, old);
    ::ReleaseDC(control, dc);
    return extent.cx;
}

// The address each tooltip of this thread shows, by the window of its tool.
std::map<HWND, std::wstring> TooltipTexts() {
    std::map<HWND, std::wstring> texts;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM found) -> BOOL {
            wchar_t className[64] = {};
            ::GetClassNameW(hwnd, className, 64);
            if (std::wstring(className) != TOOLTIPS_CLASSW)
                return TRUE;
            wchar_t text[256] = {};
            TTTOOLINFOW tool{};
            tool.cbSize = TTTOOLINFOW_V2_SIZE;
            tool.lpszText = text;
            if (::SendMessageW(hwnd, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)))
                (*reinterpret_cast<std::map<HWND, std::wstring>*>(found))[tool.hwnd] = text;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&texts));
    return texts;
}

// Reads what the dialog shows once it is up, hovers over the home-page link and leaves it,
// presses "Check for updates" and closes.
class ObservedAbout : public AboutDialog {
public:
    using AboutDialog::AboutDialog;
    std::map<int, std::wstring> texts; // 0: the caption
    std::map<int, int> widthLeft;      // text width minus control width, per link
    std::map<HWND, std::wstring> tips;
    std::wstring homeUrlShown;
    DWORD supportStyle = 0;
    std::vector<COLORREF> colours; // before, while hovering, after leaving
    bool underlinedThroughout = true;
    bool openAfterUpdateCheck = false;

protected:
    bool OnInitDialog() override {
        const bool focusFirst = AboutDialog::OnInitDialog();
        texts[0] = Text(Handle());
        for (int id : {IDC_VERSION_LINE, IDC_COPYRIGHT, IDC_HOME_LINK, IDC_SUPPORT_LINK,
                       IDC_CHECK_UPDATES, IDOK}) {
            texts[id] = Text(Item(id));
        }
        for (int id : {IDC_HOME_LINK, IDC_SUPPORT_LINK}) {
            RECT client{};
            ::GetClientRect(Item(id), &client);
            widthLeft[id] = TextWidth(Item(id)) - client.right;
        }
        supportStyle = static_cast<DWORD>(::GetWindowLongPtrW(Item(IDC_SUPPORT_LINK), GWL_STYLE));
        tips = TooltipTexts();
        ::PostMessageW(Handle(), kNextStep, 0, 0);
        return focusFirst;
    }
    bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR*) override {
        if (message != kNextStep && message != WM_TIMER)
            return false;
        HWND home = Item(IDC_HOME_LINK);
        underlinedThroughout = underlinedThroughout && Underlined(home);
        if (message == kNextStep) {
            colours.push_back(LinkColour(Handle(), home));
            ::SendMessageW(home, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
            colours.push_back(LinkColour(Handle(), home));
            underlinedThroughout = underlinedThroughout && Underlined(home);
            // Far from the dialog, which sits at the screen's top left corner.
            ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 2,
                           ::GetSystemMetrics(SM_CYSCREEN) - 2);
            ::SetTimer(Handle(), 1, 20, nullptr);
            deadline_ = ::GetTickCount() + 3000;
            return true;
        }
        const COLORREF now = LinkColour(Handle(), home);
        if (now == kRed && ::GetTickCount() < deadline_)
            return true; // the link's own timer has not seen the pointer leave yet
        ::KillTimer(Handle(), 1);
        colours.push_back(now);
        ::SendMessageW(Handle(), WM_COMMAND, MAKEWPARAM(IDC_CHECK_UPDATES, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Item(IDC_CHECK_UPDATES)));
        openAfterUpdateCheck = ::IsWindowVisible(Handle()) != FALSE;
        EndDialog(IDOK);
        return true;
    }

private:
    DWORD deadline_ = 0;
};

std::wstring Widen(const char* ascii) {
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

TEST(AboutDialogTest, ShowsVersionCopyrightLinksAndStartsTheUpdater) {
    FakeHost host;
    ObservedAbout dialog(host);
    ASSERT_EQ(dialog.DoModal(), IDOK);

    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    EXPECT_EQ(dialog.texts[0], L"About Duskpanel");
    EXPECT_EQ(dialog.texts[IDC_VERSION_LINE], L"Duskpanel  Version " + Widen(DP_VERSION_TEXT));
    EXPECT_EQ(dialog.texts[IDC_COPYRIGHT], CopyrightLine(now.wYear));
    EXPECT_EQ(dialog.texts[IDC_CHECK_UPDATES], L"Check for updates");
    EXPECT_EQ(dialog.texts[IDOK], L"OK");
    EXPECT_EQ(dialog.texts[IDC_HOME_LINK], L"HomePage") << "link texts come from the template";
    EXPECT_EQ(dialog.texts[IDC_SUPPORT_LINK], L"Support");
    EXPECT_EQ(dialog.widthLeft[IDC_HOME_LINK], 0) << "sized to its text";
    EXPECT_EQ(dialog.widthLeft[IDC_SUPPORT_LINK], 0);
    EXPECT_TRUE(dialog.supportStyle & SS_NOTIFY);
    std::vector<std::wstring> tips;
    for (const auto& [tool, text] : dialog.tips)
        tips.push_back(text);
    EXPECT_EQ(tips.size(), 2u);
    EXPECT_NE(std::find(tips.begin(), tips.end(), host.urls.homeUrl), tips.end());
    EXPECT_NE(std::find(tips.begin(), tips.end(), host.urls.supportUrl), tips.end());

    EXPECT_EQ(dialog.colours, (std::vector<COLORREF>{kBlue, kRed, kBlue}));
    EXPECT_TRUE(dialog.underlinedThroughout) << "underlined before, during and after hovering";

    ASSERT_EQ(host.launches.size(), 1u);
    EXPECT_TRUE(host.launches[0].addH);
    EXPECT_FALSE(host.launches[0].addC);
    EXPECT_EQ(host.launches[0].owner, nullptr);
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

// A link whose opening is recorded instead of performed.
class RecordedLink : public LinkLabel {
public:
    INT_PTR result = 0;
    std::vector<std::wstring> opened;
    std::vector<INT_PTR> errors;

protected:
    INT_PTR OpenLink(const std::wstring& url, int) override {
        opened.push_back(url);
        return result;
    }
    void ShowOpenError(INT_PTR code) override { errors.push_back(code); }
};

class ClickDialog : public Dialog {
public:
    ClickDialog(const DLGTEMPLATE* memoryTemplate, INT_PTR result)
        : Dialog(memoryTemplate, nullptr) {
        link.result = result;
    }
    RecordedLink link;
    COLORREF colour = CLR_INVALID;

protected:
    bool OnInitDialog() override {
        HWND control =
            ::CreateWindowExW(0, L"STATIC", L"Support", WS_CHILD | WS_VISIBLE, 5, 5, 80, 12,
                              Handle(), reinterpret_cast<HMENU>(10), nullptr, nullptr);
        if (control && link.Attach(Handle(), 10)) {
            ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            ::SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            colour = LinkColour(Handle(), control);
        }
        EndDialog(IDOK);
        return true;
    }
};

TEST(LinkLabelTest, AClickOpensTheAddressAndShowsTheOutcome) {
    struct Row {
        const char* name;
        INT_PTR result;
        COLORREF colour;
        bool error;
    };
    for (const Row& row : {Row{"opened", 42, kPurple, false}, Row{"failed", 2, kBlue, true},
                           Row{"failed with 32", 32, kBlue, true}}) {
        SCOPED_TRACE(row.name);
        std::vector<DWORD> words(16, 0);
        auto* memoryTemplate = reinterpret_cast<DLGTEMPLATE*>(words.data());
        memoryTemplate->style = WS_POPUP;
        memoryTemplate->cx = memoryTemplate->cy = 100;
        ClickDialog dialog(memoryTemplate, row.result);
        ASSERT_EQ(dialog.DoModal(), IDOK);
        ASSERT_FALSE(dialog.link.opened.empty()) << "the click reached the link";
        EXPECT_EQ(dialog.link.opened[0], L"Support") << "no address given: the text is one";
        EXPECT_EQ(dialog.link.Visited(), !row.error);
        EXPECT_EQ(dialog.colour, row.colour);
        EXPECT_EQ(dialog.link.errors,
                  row.error ? std::vector<INT_PTR>(dialog.link.opened.size(), row.result)
                            : std::vector<INT_PTR>{});
    }
}

} // namespace
} // namespace dp
