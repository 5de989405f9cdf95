// Starts Renewick for the screen saver.
#pragma once

#include <windows.h>

#include <string>

#include "saver/updater_launch.h"

namespace dp {

// Finds the updater (the install folder's copy, else the one recorded as "Setup Path" of
// HKLM\Software\Nerovane\Renewick, read with read access only) and starts it hidden with the
// request's parameters, owned by owner; with an owner it also appends " /W<owner>" and waits
// until the updater has ended. False when no updater was found; a start that fails is not
// reported.
bool StartUpdater(const std::wstring& installFolder, UpdaterRequest request, HWND owner);

} // namespace dp
