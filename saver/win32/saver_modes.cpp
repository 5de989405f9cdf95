#include "saver/win32/saver_modes.h"

#include "framework/win32/dialog.h"
#include "saver/win32/saver_app.h"

namespace dp {

namespace {
constexpr int kSettingsTemplate = 101;
}

void RunSettingsDialog(HWND owner) {
    // The template alone for now: the controls carry no behaviour yet.
    Dialog dialog(kSettingsTemplate, owner);
    dialog.DoModal();
}

void RunPasswordChange(HWND /*owner*/) {}

bool StartSaverWindow(SaverApp& /*app*/) { return false; }

} // namespace dp
