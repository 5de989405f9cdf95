#include "saver/system_saver_settings.h"

namespace dp {
namespace {

constexpr wchar_t kSaverPath[] = L"SCRNSAVE.EXE";
constexpr wchar_t kActive[] = L"ScreenSaveActive";
constexpr wchar_t kTimeOut[] = L"ScreenSaveTimeOut";
constexpr wchar_t kSecure[] = L"ScreenSaverIsSecure";

struct SaverValues {
    std::wstring saverPath, active, timeOut, secure;
};

bool IsOwnPath(SystemSaverEnvironment& env, const std::wstring& value, const std::wstring& full,
               const std::wstring& shortPath) {
    // An empty value names no program, even when a path could not be formed.
    if (value.empty())
        return false;
    std::wstring upper = env.UpperCase(value);
    return upper == env.UpperCase(full) || upper == env.UpperCase(shortPath);
}

void Install(SystemSaverEnvironment& env, const std::wstring& full, const std::wstring& shortPath) {
    SaverValues before{env.ReadDesktopValue(kSaverPath, L""), env.ReadDesktopValue(kActive, L""),
                       env.ReadDesktopValue(kTimeOut, L""), env.ReadDesktopValue(kSecure, L"")};
    // Installing over ourselves must not replace the backup of the user's own saver.
    if (!IsOwnPath(env, before.saverPath, full, shortPath)) {
        env.WriteBackup(kSaverPath, before.saverPath);
        env.WriteBackup(kActive, before.active);
        env.WriteBackup(kTimeOut, before.timeOut);
        env.WriteBackup(kSecure, before.secure);
    }
    env.WriteDesktopValue(kSaverPath, shortPath);
    env.WriteDesktopValue(kActive, L"1");
    env.WriteDesktopValue(kTimeOut, before.timeOut);
    env.WriteDesktopValue(kSecure, before.secure);
}

// Never a saver path: tells a missing backup from the backup of an empty one.
constexpr wchar_t kNoBackup[] = L"\x01";

void Restore(SystemSaverEnvironment& env) {
    if (!env.OpenDesktopKey())
        return;
    // Installing always backs up the saver path first; without it there is nothing to put back,
    // and the built-in defaults would replace the user's settings with a blank secure saver.
    if (env.ReadBackup(kSaverPath, kNoBackup) == kNoBackup)
        return;
    SaverValues backup{env.ReadBackup(kSaverPath, L""), env.ReadBackup(kActive, L"1"),
                       env.ReadBackup(kTimeOut, L"60"), env.ReadBackup(kSecure, L"1")};
    env.WriteDesktopValue(kSaverPath, backup.saverPath);
    env.WriteDesktopValue(kActive, backup.active);
    env.WriteDesktopValue(kTimeOut, backup.timeOut);
    env.WriteDesktopValue(kSecure, backup.secure);
    env.OpenScreenSaverControlPanel();
}

} // namespace

bool UpdateSystemSaverSettings(bool install, SystemSaverEnvironment& env) {
    if (!env.OpenDesktopKey())
        return true;
    std::wstring full = env.ProgramPath();
    std::wstring shortPath = env.ShortProgramPath();
    if (install)
        Install(env, full, shortPath);
    else
        Restore(env);
    return true;
}

bool IsTheSystemSaver(SystemSaverEnvironment& env) {
    if (!env.OpenDesktopKey())
        return false;
    return IsOwnPath(env, env.ReadDesktopValue(kSaverPath, L""), env.ProgramPath(),
                     env.ShortProgramPath());
}

} // namespace dp
