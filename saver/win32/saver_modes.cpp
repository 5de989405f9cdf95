#include "saver/win32/saver_modes.h"

#include <utility>

#include "framework/win32/handles.h"
#include "saver/win32/resume_protection.h"
#include "saver/win32/saver_app.h"
#include "saver/win32/saver_wnd.h"
#include "ui/win32/settings_dialog.h"

namespace dp {

namespace {

constexpr wchar_t kSettingsInstanceName[] = L"Local\\DuskpanelSettingsDialog";
constexpr wchar_t kSettingsCaption[] = L"Duskpanel Settings";

// The dialog of the first instance, or the box it shows (which takes its title), comes to the
// front instead of a second dialog.
void BringOpenSettingsForward() {
    HWND open = ::FindWindowW(L"#32770", kSettingsCaption);
    if (open)
        ::SetForegroundWindow(::GetLastActivePopup(open));
}

} // namespace

void RunSettingsDialog(SaverApp& app, HWND owner) {
    // One settings dialog at a time: a second one opened during a preview would take the
    // previewed level for the brightness to go back to.
    UniqueHandle instance(::CreateMutexW(nullptr, FALSE, kSettingsInstanceName));
    if (instance && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        BringOpenSettingsForward();
        return;
    }
    // The system hands over the number of its own window; a number that names no window (any
    // longer) would fail the dialog's creation, so the dialog then stands alone.
    if (owner && !::IsWindow(owner))
        owner = nullptr;
    SettingsDialog dialog(app, app.Params(), owner);
    dialog.DoModal();
}

void RunPasswordChange(HWND owner) {
    ChangeSaverPassword(owner);
}

bool StartSaverWindow(SaverApp& app) {
    SaverWndSettings settings;
    settings.dimmer.acBrightness = app.Params().acBrightness;
    settings.dimmer.dcBrightness = app.Params().dcBrightness;
    settings.dimmer.dimMonitors = app.Params().dimExternalMonitors != 0;
    settings.windowName = app.AppName();
    settings.protectOnResume = app.Params().resumePasswordProtect != 0;
    // Once its window exists the object deletes itself when the window is gone; until then it
    // is ours.
    auto* window = new SaverWnd(std::move(settings));
    if (!window->CreateFullScreen()) {
        delete window;
        return false;
    }
    app.SetMainWindow(window);
    return true;
}

} // namespace dp
