#include "settings/setup_path.h"

#include "settings/path_forming.h"

namespace dp {

std::wstring VendorKeyPath(const std::wstring& program) {
    return L"Software\\" + std::wstring(kVendorFolder) + L"\\" + program;
}

std::wstring ReadSetupPath(RegistryKeySelector& key, const std::wstring& keyPath) {
    if (!key.SelectExisting(keyPath, RegistryKeySelector::Access::ReadOnly))
        return {};
    return key.ReadString(kSetupPathValue, L"");
}

} // namespace dp
