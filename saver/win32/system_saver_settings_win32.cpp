#include <windows.h>
#include <shellapi.h>

#include "framework/win32/system_files.h"
#include "saver/system_saver_settings.h"
#include "saver/win32/saver_app.h"
#include "saver/win32/saver_modes.h"
#include "settings/win32/registry_key.h"

namespace dp {
namespace {

class Win32SystemSaverEnvironment : public SystemSaverEnvironment {
public:
    explicit Win32SystemSaverEnvironment(const Application& app) : app_(app) {}

    bool OpenDesktopKey() override {
        return desktop_.SetRootKey(HKEY_CURRENT_USER) &&
               desktop_.SetKey(L"Control Panel\\Desktop", false);
    }
    std::wstring ReadDesktopValue(const std::wstring& name, const std::wstring& def) override {
        return desktop_.ReadString(name, def);
    }
    void WriteDesktopValue(const std::wstring& name, const std::wstring& value) override {
        desktop_.WriteString(name, value); // failures are ignored: no message in either mode
    }
    std::wstring ReadBackup(const std::wstring& name, const std::wstring& def) override {
        return app_.GetProfileString(kRestoreSection, name, def);
    }
    void WriteBackup(const std::wstring& name, const std::wstring& value) override {
        app_.WriteProfileString(kRestoreSection, name, value);
    }
    std::wstring ProgramPath() override { return ProgramFilePath(); }
    std::wstring ShortProgramPath() override {
        std::wstring full = ProgramPath();
        wchar_t path[MAX_PATH] = {};
        DWORD length = ::GetShortPathNameW(full.c_str(), path, MAX_PATH);
        return std::wstring(path, length < MAX_PATH ? length : 0);
    }
    std::wstring UpperCase(const std::wstring& text) override {
        std::wstring upper = text;
        if (!upper.empty())
            ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
        return upper;
    }
    void OpenScreenSaverControlPanel() override {
        // By its full path: /r runs elevated from the uninstaller.
        const std::wstring program = SystemFilePath(L"rundll32.exe");
        if (program.empty())
            return;
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.lpFile = program.c_str();
        info.lpParameters = L"shell32.dll,Control_RunDLL desk.cpl,,1";
        info.nShow = SW_HIDE;
        ::ShellExecuteExW(&info); // not waited for; the result is not used
    }

private:
    const Application& app_;
    RegistryKey desktop_;
};

} // namespace

bool UpdateSystemSaverSettingsWin32(bool install) {
    Win32SystemSaverEnvironment environment(SaverApp::Get());
    return UpdateSystemSaverSettings(install, environment);
}

bool IsTheSystemSaverWin32() {
    Win32SystemSaverEnvironment environment(SaverApp::Get());
    return IsTheSystemSaver(environment);
}

} // namespace dp
