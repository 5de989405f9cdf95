// Creating the data folders: the per-user one with default security, the shared one (and any
// parent it creates) with a DACL that gives Everyone full access, inherited by files and folders.
#pragma once

#include <string>

namespace dp {

inline constexpr wchar_t kEveryoneFullAccessSddl[] = L"D:(A;OICI;GA;;;WD)";

bool CreateDirectoryPath(const std::wstring& path);
// The security descriptor the shared folders are created with (LocalFree it); null on failure.
void* MakeEveryoneFullAccessDescriptor();
bool CreateSharedDirectory(const std::wstring& path);

} // namespace dp
