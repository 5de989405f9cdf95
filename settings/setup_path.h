// "Setup Path": the folder a program was installed into, as its setup program recorded it under
// HKEY_LOCAL_MACHINE ("Software\Nerovane\<program>").
#pragma once

#include <string>

namespace dp {

inline constexpr wchar_t kSetupPathValue[] = L"Setup Path";

// A registry key as the settings code selects it: with the access its use needs.
class RegistryKeySelector {
public:
    enum class Access { ReadOnly, Full };
    virtual ~RegistryKeySelector() = default;
    // Selects an existing key; false when it is missing or the access is refused.
    virtual bool SelectExisting(const std::wstring& path, Access access) = 0;
    virtual std::wstring ReadString(const std::wstring& name, const std::wstring& defaultValue) = 0;
};

// "Software\Nerovane\<program>"
std::wstring VendorKeyPath(const std::wstring& program);

// The install folder recorded in keyPath (e.g. VendorKeyPath(L"Renewick")); empty when the key or
// value is missing. The key is only read, so it is selected for reading: a standard user may
// read HKEY_LOCAL_MACHINE but not write it, and would otherwise never find the installation.
std::wstring ReadSetupPath(RegistryKeySelector& key, const std::wstring& keyPath);

} // namespace dp
