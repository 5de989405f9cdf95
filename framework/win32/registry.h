// The one way the programs open a registry key: every reader and writer of the registry (the
// application profile, RegistryKey, the system's screen-saver settings) goes through it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/win32/handles.h"

namespace dp {

// Opens path under root with the given access (ask for no more than the caller needs: a
// machine-wide key is readable by every user but writable by administrators only). With create
// the key is made when missing. Empty when the key cannot be opened or created; an empty path
// opens root itself.
UniqueRegKey OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access,
                             bool create = false);

} // namespace dp
