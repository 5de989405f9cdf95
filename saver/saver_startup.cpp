#include "saver/saver_startup.h"

#include <cstdio>

#include "settings/path_forming.h"

namespace dp {

std::wstring FormatShellFolderError(unsigned long lastError) {
    char text[64];
    std::snprintf(text, sizeof text, "SHGetFolderPath, error code:%lx", lastError);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

namespace {

std::wstring FormInstallFolder(StartupEnvironment& env, const std::wstring& appName) {
    // The Start-menu folder is taken as it comes, even after a failed lookup.
    ShellFolderResult programs = env.GetShellFolder(StartupEnvironment::ShellFolder::Programs);
    std::wstring folder = FormVendorFolder(programs.path, appName);
    std::wstring keyPath = L"Software\\" + std::wstring(kVendorFolder) + L"\\" + appName;
    std::wstring setupPath = env.ReadSetupPath(keyPath);
    if (!setupPath.empty())
        folder = TruncateText(setupPath, kMaxPathChars);
    return folder;
}

} // namespace

SaverPaths FormSaverPaths(StartupEnvironment& env, const std::wstring& appName) {
    SaverPaths paths;
    ShellFolderResult user = env.GetShellFolder(StartupEnvironment::ShellFolder::AppData);
    if (!user.found) {
        env.ShowError(FormatShellFolderError(user.lastError));
    } else {
        paths.userDataFolder = FormVendorFolder(user.path, appName);
        env.CreateDirectoryPath(paths.userDataFolder);
        ShellFolderResult shared =
            env.GetShellFolder(StartupEnvironment::ShellFolder::CommonAppData);
        if (shared.found) {
            paths.sharedDataFolder = FormVendorFolder(shared.path, appName);
            env.CreateSharedDirectory(paths.sharedDataFolder);
            paths.installFolder = FormInstallFolder(env, appName);
        }
    }
    paths.languageAbbreviation = TruncateText(env.LanguageAbbreviation(), kMaxPathChars);
    paths.languageFolder = FormLanguageFolder(paths.installFolder, paths.languageAbbreviation);
    paths.languageFileBase = FormLanguageFileBase(paths.languageFolder, appName);
    return paths;
}

} // namespace dp
