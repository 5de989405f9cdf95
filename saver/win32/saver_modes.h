// What each command-line mode runs, beside the start-up and exit of SaverApp.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/user_step_command.h"

namespace dp {

class SaverApp;

// /c: the settings dialog, modal, owned by owner (none when null); OK edits app's parameters.
void RunSettingsDialog(SaverApp& app, HWND owner);
// /a: the system's password change for the Windows 95 family.
void RunPasswordChange(HWND owner);
// /w: creates the full-screen saver window and makes it the main window; false when it could
// not be created.
bool StartSaverWindow(SaverApp& app);
// /d (install) and /r (restore).
bool UpdateSystemSaverSettingsWin32(bool install);
// True when the current user's screen saver is this program.
bool IsTheSystemSaverWin32();
// The per-user step of the installer and the uninstaller ("/~user-step ..."); its exit code.
std::uint32_t RunUserStepWin32(const UserStepCommand& command);

} // namespace dp
