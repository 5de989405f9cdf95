#include "saver/win32/saver_modes.h"

#include <utility>

#include "saver/win32/resume_protection.h"
#include "saver/win32/saver_app.h"
#include "saver/win32/saver_wnd.h"
#include "ui/win32/settings_dialog.h"

namespace dp {

void RunSettingsDialog(SaverApp& app, HWND owner) {
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
