#include "ui/win32/about_dialog.h"

#include "settings/localisation.h"
#include "settings/win32/win32_stores.h"
#include "ui/about_texts.h"
#include "ui/resource_ids.h"
#include "ui/win32/version_reader.h"

namespace dp {
namespace {

int CurrentLocalYear() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return now.wYear;
}

} // namespace

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
    ::SetDlgItemTextW(Handle(), IDC_COPYRIGHT, CopyrightLine(CurrentLocalYear()).c_str());

    Win32IniStore ini;
    const std::wstring& languageFile = host_.LanguageFile();
    ::SetWindowTextW(Handle(),
                     AboutCaption(LookupMessage(ini, languageFile, kAboutText), name).c_str());
    ::SetDlgItemTextW(Handle(), IDC_CHECK_UPDATES,
                      LookupMessage(ini, languageFile, kCheckForUpdatesText).c_str());
    ::SetDlgItemTextW(Handle(), IDOK, LookupMessage(ini, languageFile, kOkText).c_str());
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

void AboutDialog::CheckForUpdates() {
    // No updater installed, or one that does not start: nothing to tell the user.
    host_.LaunchUpdater(true, false, nullptr);
}

} // namespace dp
