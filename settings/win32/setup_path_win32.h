// "Setup Path" values under HKEY_LOCAL_MACHINE, read through RegistryKey.
#pragma once

#include <string>

namespace dp {

// The install folder recorded in HKEY_LOCAL_MACHINE\<keyPath>; empty when missing.
std::wstring ReadMachineSetupPath(const std::wstring& keyPath);

} // namespace dp
