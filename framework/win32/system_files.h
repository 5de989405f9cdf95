// System libraries and programs by their full path in the system folder. A bare name is found
// by a search that includes the program's folder, the current directory and PATH, which an
// elevated run must not trust.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace dp {

// "<system folder>\<name>"; empty when the system folder cannot be read.
std::wstring SystemFilePath(std::wstring_view name);

// LoadLibraryW of SystemFilePath(name); null when it cannot be loaded.
HMODULE LoadSystemLibrary(std::wstring_view name);

} // namespace dp
