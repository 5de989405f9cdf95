// The folders the saver forms at start-up, in their fixed order, against a thin platform layer.
#pragma once

#include <string>

namespace dp {

struct SaverPaths {
    std::wstring userDataFolder;
    std::wstring sharedDataFolder;
    std::wstring installFolder;
    std::wstring languageAbbreviation;
    std::wstring languageFolder;
    std::wstring languageFileBase;
};

struct ShellFolderResult {
    bool found = false;
    std::wstring path;
    unsigned long lastError = 0; // the thread's last error right after a failed lookup
};

class StartupEnvironment {
public:
    virtual ~StartupEnvironment() = default;
    enum class ShellFolder { AppData, CommonAppData, Programs };
    virtual ShellFolderResult GetShellFolder(ShellFolder folder) = 0;
    virtual void ShowError(const std::wstring& text) = 0;
    virtual bool CreateDirectoryPath(const std::wstring& path) = 0;
    virtual bool CreateSharedDirectory(const std::wstring& path) = 0;
    // "Setup Path" of HKLM\Software\Nerovane\<app>; empty when the key or value is missing.
    virtual std::wstring ReadSetupPath(const std::wstring& keyPath) = 0;
    virtual std::wstring LanguageAbbreviation() = 0;
};

// "SHGetFolderPath, error code:%x"
std::wstring FormatShellFolderError(unsigned long lastError);

// User and shared data folders (created), install folder, language folder and language file
// base path. A failed per-user lookup is reported and skips the shared and install folders; a
// failed shared lookup silently skips the install folder.
SaverPaths FormSaverPaths(StartupEnvironment& env, const std::wstring& appName);

} // namespace dp
