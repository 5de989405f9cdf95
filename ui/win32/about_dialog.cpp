#include "ui/win32/about_dialog.h"

#include "framework/win32/dpi.h"
#include "framework/win32/handles.h"
#include "settings/localisation.h"
#include "settings/win32/win32_stores.h"
#include "ui/about_texts.h"
#include "ui/button_row.h"
#include "ui/resource_ids.h"
#include "ui/win32/version_reader.h"

namespace dp {
namespace {

// Posted after the system has rescaled the dialog for another monitor.
constexpr UINT kFitButtonsMessage = WM_APP + 1;

PixelRect RectInDialog(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

int LabelWidth(HWND button) {
    wchar_t label[256] = {};
    const int length = ::GetWindowTextW(button, label, 256);
    WindowDc dc(button);
    if (!dc)
        return 0;
    SelectedObject font(dc.get(),
                        reinterpret_cast<HFONT>(::SendMessageW(button, WM_GETFONT, 0, 0)));
    RECT extent{0, 0, 0, 0};
    ::DrawTextW(dc.get(), label, length, &extent, DT_SINGLELINE | DT_CALCRECT);
    return extent.right - extent.left;
}

} // namespace

int AboutHost::CurrentYear() const {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now.wYear;
}

AboutDialog::AboutDialog(AboutHost& host, HWND owner)
    : Dialog(kAboutTemplate, owner ? owner : ::GetActiveWindow()), host_(host) {}

void AboutDialog::BindControls() {
    supportLink_.Attach(Handle(), IDC_SUPPORT_LINK);
    homeLink_.Attach(Handle(), IDC_HOME_LINK);
}

bool AboutDialog::OnInitDialog() {
    const UrlTable& urls = host_.LinkAddresses();
    homeLink_.SetLinkUrl(urls.homeUrl);
    homeLink_.SetUnderlineMode(kUnderlineAlways);
    supportLink_.SetLinkUrl(urls.supportUrl);
    supportLink_.SetUnderlineMode(kUnderlineAlways);

    VersionInfo version;
    ReadVersionInfo(version); // without one the line ends after "Version"
    const std::wstring& name = host_.ApplicationName();
    ::SetDlgItemTextW(Handle(), IDC_VERSION_LINE,
                      VersionLine(name, version.ProductVersion).c_str());
    ::SetDlgItemTextW(Handle(), IDC_COPYRIGHT, CopyrightLine(host_.CurrentYear()).c_str());

    Win32IniStore ini;
    const std::wstring& languageFile = host_.LanguageFile();
    ::SetWindowTextW(Handle(),
                     AboutCaption(LookupMessage(ini, languageFile, kAboutText), name).c_str());
    ::SetDlgItemTextW(Handle(), IDC_CHECK_UPDATES,
                      LookupMessage(ini, languageFile, kCheckForUpdatesText).c_str());
    ::SetDlgItemTextW(Handle(), IDOK, LookupMessage(ini, languageFile, kOkText).c_str());
    FitButtonsToLabels();
    // The links are tab stops ahead of the buttons; the dialog still opens with the focus on
    // the first button, where it was before, so that Enter at once opens no web page.
    ::SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDC_CHECK_UPDATES)),
                   TRUE);
    return false;
}

bool AboutDialog::OnCommand(int id, int code, HWND) {
    if (id != IDC_CHECK_UPDATES || code != BN_CLICKED)
        return false;
    CheckForUpdates();
    return true;
}

bool AboutDialog::OnMessage(UINT message, WPARAM, LPARAM, INT_PTR*) {
    if (message == WM_DPICHANGED) {
        // The system rescales the dialog once this returns; labels do not grow quite in
        // proportion with it.
        ::PostMessageW(Handle(), kFitButtonsMessage, 0, 0);
        return false;
    }
    if (message != kFitButtonsMessage)
        return false;
    FitButtonsToLabels();
    return true;
}

void AboutDialog::FitButtonsToLabels() {
    const int padding = 2 * ScaleToDpi(kButtonLabelPadding, DpiForWindow(Handle()));
    const HWND buttons[] = {Item(IDC_CHECK_UPDATES), Item(IDOK)};
    std::vector<PixelRect> row;
    std::vector<int> needed;
    for (HWND button : buttons) {
        if (!button)
            return;
        row.push_back(RectInDialog(button));
        needed.push_back(LabelWidth(button) + padding);
    }
    const std::vector<PixelRect> fitted = FitButtonRow(row, needed);
    for (std::size_t i = 0; i < fitted.size(); ++i)
        if (!(fitted[i] == row[i]))
            ::SetWindowPos(buttons[i], nullptr, fitted[i].left, fitted[i].top,
                           fitted[i].right - fitted[i].left, fitted[i].bottom - fitted[i].top,
                           SWP_NOZORDER | SWP_NOACTIVATE);
}

void AboutDialog::CheckForUpdates() {
    // No updater installed, or one that does not start: nothing to tell the user, the dialog
    // stays. Once Renewick runs, the dialog closes: the update's setup replaces this program
    // and waits until nobody runs it.
    if (host_.LaunchUpdater(true, false, nullptr))
        EndDialog(kUpdaterStartedResult);
}

} // namespace dp
