// Making the program the system's screen saver (keeping a backup of what was there) and
// putting the backup back.
#pragma once

#include <string>

namespace dp {

// What the decision needs of the platform: the "Control Panel\Desktop" key, the profile section
// that keeps the backup, the program's own paths and the control panel.
class SystemSaverEnvironment {
public:
    virtual ~SystemSaverEnvironment() = default;
    // Opens the desktop key without creating it; false when it does not open.
    virtual bool OpenDesktopKey() = 0;
    virtual std::wstring ReadDesktopValue(const std::wstring& name, const std::wstring& def) = 0;
    virtual void WriteDesktopValue(const std::wstring& name, const std::wstring& value) = 0;
    virtual std::wstring ReadBackup(const std::wstring& name, const std::wstring& def) = 0;
    virtual void WriteBackup(const std::wstring& name, const std::wstring& value) = 0;
    virtual std::wstring ProgramPath() = 0;
    virtual std::wstring ShortProgramPath() = 0;
    virtual std::wstring UpperCase(const std::wstring& text) = 0;
    virtual void OpenScreenSaverControlPanel() = 0;
};

inline constexpr wchar_t kRestoreSection[] = L"restore_param";

// Always true. install: back up (unless already installed) and install; else restore.
bool UpdateSystemSaverSettings(bool install, SystemSaverEnvironment& env);

// True when the desktop key names this program (its long or short path, in any case) as the
// screen saver. The value is only compared, never used as a path.
bool IsTheSystemSaver(SystemSaverEnvironment& env);

} // namespace dp
