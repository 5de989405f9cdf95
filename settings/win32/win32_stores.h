// The settings stores over the platform: private-profile INI functions, and the application's
// registry profile.
#pragma once

#include "framework/win32/application.h"
#include "settings/ini_profile.h"
#include "settings/key_value_store.h"

namespace dp {

class Win32IniStore : public IniStore {
public:
    std::wstring ReadString(const std::wstring& file, const std::wstring& section,
                            const std::wstring& key, const std::wstring& defaultValue,
                            std::size_t bufferChars) override;
    bool WriteString(const std::wstring& file, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) override;
    bool Exists(const std::wstring& path) override;
};

class ApplicationProfileStore : public ProfileStore {
public:
    explicit ApplicationProfileStore(const Application& app) : app_(app) {}
    int GetInt(const std::wstring& section, const std::wstring& entry, int defaultValue) override {
        return app_.GetProfileInt(section, entry, defaultValue);
    }
    bool WriteInt(const std::wstring& section, const std::wstring& entry, int value) override {
        return app_.WriteProfileInt(section, entry, value);
    }
    std::wstring GetString(const std::wstring& section, const std::wstring& entry,
                           const std::wstring& defaultValue) override {
        return app_.GetProfileString(section, entry, defaultValue);
    }
    bool WriteString(const std::wstring& section, const std::wstring& entry,
                     const std::wstring& value) override {
        return app_.WriteProfileString(section, entry, value);
    }

private:
    const Application& app_;
};

// The running program's path, current directory and the framework's application name.
ProgramLocation CurrentProgramLocation(const std::wstring& appName);

} // namespace dp
