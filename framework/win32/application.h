// The application object both programs derive from: one global instance, InitInstance once,
// the message loop when a main window exists, ExitInstance always, and the registry profile
// under HKEY_CURRENT_USER\Software\<registry key>\<application name>.
#pragma once

#include <windows.h>

#include <string>

namespace dp {

class Window;

// Full path of the running program; empty when it does not fit MAX_PATH (a cut path would name
// some other file).
std::wstring ProgramFilePath();

// The program file's name without folder and extension ("Duskpanel" for ...\Duskpanel.scr).
std::wstring ProgramBaseName();

// A system message box owned by the active window and captioned with the application's name;
// without an application object, with the program's base name.
int ShowMessageBox(const std::wstring& text, UINT flags = MB_OK);

class Application {
public:
    Application();
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The one instance, set by the constructor.
    static Application* Current();

    // Runs InitInstance, the message loop when it returned true and a main window is set,
    // then ExitInstance, whose result becomes the process exit code.
    int Run(HINSTANCE instance);

    virtual bool InitInstance() = 0;
    virtual int ExitInstance() { return exitCode_; }

    HINSTANCE Instance() const { return instance_; }
    const std::wstring& AppName() const { return appName_; }
    void SetAppName(std::wstring name) { appName_ = std::move(name); }
    // Fixes the profile location. The location ends in the application name, so the name must be
    // final by now: a later SetAppName does not move the profile.
    void SetRegistryKey(const std::wstring& key);
    const std::wstring& ProfileKeyPath() const { return profileKeyPath_; }

    Window* MainWindow() const { return mainWindow_; }
    void SetMainWindow(Window* window) { mainWindow_ = window; }

    // Profile values: the section names a sub-key of the profile key; "" is the key itself.
    int GetProfileInt(const std::wstring& section, const std::wstring& entry,
                      int defaultValue) const;
    bool WriteProfileInt(const std::wstring& section, const std::wstring& entry, int value) const;
    std::wstring GetProfileString(const std::wstring& section, const std::wstring& entry,
                                  const std::wstring& defaultValue) const;
    bool WriteProfileString(const std::wstring& section, const std::wstring& entry,
                            const std::wstring& value) const;

    // A system message box owned by the active window, captioned with the application name.
    int MessageBox(const std::wstring& text, UINT flags = MB_OK) const;

private:
    int RunMessageLoop();

    HINSTANCE instance_ = nullptr;
    std::wstring appName_;
    std::wstring profileKeyPath_;
    Window* mainWindow_ = nullptr;
    int exitCode_ = 0;
};

} // namespace dp
