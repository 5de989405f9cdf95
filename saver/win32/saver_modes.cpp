#include "saver/win32/saver_modes.h"

#include <utility>

#include "framework/win32/dialog.h"
#include "saver/win32/resume_protection.h"
#include "saver/win32/saver_app.h"
#include "saver/win32/saver_wnd.h"

namespace dp {

namespace {
constexpr int kSettingsTemplate = 101;
}

void RunSettingsDialog(HWND owner) {
    // The template alone for now: the controls carry no behaviour yet.
    Dialog dialog(kSettingsTemplate, owner);
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
