// RegistryKey names one key (a root and a sub-key path) and keeps no handle open: every
// operation opens the key, does its one thing and closes it. String values only.
#pragma once

#include <windows.h>

#include <string>

namespace dp {

class RegistryKey {
public:
    static constexpr std::size_t kReadBufferChars = 256;
    static constexpr std::size_t kMaxWriteChars = 254;

    // Accepts the four predefined roots HKCR, HKCU, HKLM and HKU only: the other predefined
    // handles (performance data, current configuration) are not places to keep settings.
    bool SetRootKey(HKEY root);
    // Empty path: the root itself, without touching the registry. Otherwise the key is opened
    // (or created) with full access to prove it is usable; on failure the old path stays.
    bool SetKey(const std::wstring& path, bool create);
    // As SetKey(path, false), but the key need only be readable: for keys whose values are only
    // read, such as those under HKEY_LOCAL_MACHINE, which a standard user may not write.
    bool SetKeyForReading(const std::wstring& path);
    // REG_SZ or REG_EXPAND_SZ (unexpanded) of at most 255 characters; the default otherwise.
    std::wstring ReadString(const std::wstring& name, const std::wstring& defaultValue) const;
    // REG_SZ with its terminator; values over 254 characters are refused.
    bool WriteString(const std::wstring& name, const std::wstring& value) const;

    HKEY RootKey() const { return rootKey_; }
    const std::wstring& KeyPath() const { return keyPath_; }

private:
    HKEY rootKey_ = HKEY_CURRENT_USER;
    std::wstring keyPath_;
};

} // namespace dp
