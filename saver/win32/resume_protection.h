// Protection of the desktop when the user comes back. On the NT family the workstation lock
// does it (the system's lock screen asks for the password); the Windows 95 family has no lock,
// so there the saver asks the system's screen-saver password library itself.
#pragma once

#include <windows.h>

namespace dp {

// Whether the saver window may close. True at once on the NT family; elsewhere the answer of
// PASSWORD.CPL's VerifyScreenSavePwd, or true when the library or the entry is missing.
bool VerifyPassword(HWND saverWindow);

// /a: the system's password-change dialog for screen savers (MPR.DLL's PwdChangePasswordA).
// Does nothing where the library or the entry is missing.
void ChangeSaverPassword(HWND owner);

// LockWorkStation; false when the request failed (it is asynchronous: true does not mean the
// lock screen is up yet).
bool RequestWorkstationLock();

} // namespace dp
