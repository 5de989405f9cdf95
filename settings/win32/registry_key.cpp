#include "settings/win32/registry_key.h"

#include <algorithm>

#include "framework/win32/handles.h"
#include "framework/win32/registry.h"

namespace dp {
namespace {

UniqueRegKey OpenKey(HKEY root, const std::wstring& path, REGSAM access) {
    return OpenRegistryKey(root, path, access);
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ;
}

} // namespace

bool RegistryKey::SetRootKey(HKEY root) {
    if (root != HKEY_CLASSES_ROOT && root != HKEY_CURRENT_USER && root != HKEY_LOCAL_MACHINE &&
        root != HKEY_USERS)
        return false;
    rootKey_ = root;
    return true;
}

bool RegistryKey::SetKey(const std::wstring& path, bool create) {
    if (path.empty()) {
        keyPath_.clear();
        return true;
    }
    // Full access proves the key usable for the writes that may follow: a key this account may
    // only read counts as missing.
    if (!OpenRegistryKey(rootKey_, path, KEY_ALL_ACCESS, create))
        return false;
    keyPath_ = path;
    return true;
}

bool RegistryKey::SetKeyForReading(const std::wstring& path) {
    if (!path.empty() && !OpenKey(rootKey_, path, KEY_READ))
        return false;
    keyPath_ = path;
    return true;
}

std::wstring RegistryKey::ReadString(const std::wstring& name,
                                     const std::wstring& defaultValue) const {
    DWORD type = 0;
    {
        UniqueRegKey key = OpenKey(rootKey_, keyPath_, KEY_QUERY_VALUE);
        if (!key || ::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, nullptr) !=
                        ERROR_SUCCESS)
            return defaultValue;
    }
    if (!IsStringType(type))
        return defaultValue;
    UniqueRegKey key = OpenKey(rootKey_, keyPath_, KEY_READ);
    if (!key)
        return defaultValue;
    wchar_t buffer[kReadBufferChars] = {};
    DWORD size = sizeof(buffer);
    if (::RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                           &size) != ERROR_SUCCESS)
        return defaultValue;
    // Data stored without a terminator may fill the buffer: never read past it.
    return std::wstring(
        buffer, wcsnlen(buffer, std::min<std::size_t>(size / sizeof(wchar_t), kReadBufferChars)));
}

bool RegistryKey::WriteString(const std::wstring& name, const std::wstring& value) const {
    if (value.size() > kMaxWriteChars)
        return false;
    UniqueRegKey key = OpenKey(rootKey_, keyPath_, KEY_WRITE);
    if (!key)
        return false;
    DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()), bytes) == ERROR_SUCCESS;
}

} // namespace dp
