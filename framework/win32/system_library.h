// Loading a library of the system by its full path in the system folder: a bare name is
// looked up along a search path that starts at the program's own folder, where anyone who can
// write there could put a library of that name.
#pragma once

#include <windows.h>

namespace dp {

// The library from the system folder (System32, or SysWOW64 for a 32-bit program on a 64-bit
// Windows); nullptr when the folder cannot be named or the library does not load.
HMODULE LoadSystemLibrary(const wchar_t* name);

} // namespace dp
