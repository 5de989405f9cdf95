#include "framework/win32/registry.h"

namespace dp {

UniqueRegKey OpenRegistryKey(HKEY root, const std::wstring& path, REGSAM access, bool create) {
    UniqueRegKey key;
    const LONG status =
        create ? ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                   nullptr, key.put(), nullptr)
               : ::RegOpenKeyExW(root, path.c_str(), 0, access, key.put());
    if (status != ERROR_SUCCESS)
        key.release(); // a failed call may leave anything in the slot: nothing was opened
    return key;
}

} // namespace dp
