#include "saver/win32/saver_app.h"

#include <shlobj.h>
#include <stdlib.h>

#include <utility>
#include <vector>

#include "brightness/win32/brightness_restore.h"
#include "framework/win32/dialog.h"
#include "framework/win32/handles.h"
#include "saver/win32/saver_modes.h"
#include "saver/win32/updater_launch_win32.h"
#include "settings/path_forming.h"
#include "settings/win32/data_folders.h"
#include "settings/win32/setup_path_win32.h"
#include "settings/win32/win32_stores.h"
#include "ui/win32/version_reader.h"

namespace dp {
namespace {

std::wstring g_languageFileBase;

class Win32StartupEnvironment : public StartupEnvironment {
public:
    explicit Win32StartupEnvironment(const Application& app) : app_(app) {}

    ShellFolderResult GetShellFolder(ShellFolder folder) override {
        int csidl = folder == ShellFolder::AppData         ? CSIDL_APPDATA
                    : folder == ShellFolder::CommonAppData ? CSIDL_COMMON_APPDATA
                                                           : CSIDL_PROGRAMS;
        wchar_t path[MAX_PATH] = {};
        ShellFolderResult result;
        result.found = SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path));
        result.lastError = result.found ? 0 : ::GetLastError();
        path[MAX_PATH - 1] = L'\0';
        result.path = path;
        return result;
    }
    void ShowError(const std::wstring& text) override { app_.MessageBox(text, MB_OK); }
    bool CreateDirectoryPath(const std::wstring& path) override {
        return dp::CreateDirectoryPath(path);
    }
    bool CreateSharedDirectory(const std::wstring& path) override {
        return dp::CreateSharedDirectory(path);
    }
    std::wstring ReadSetupPath(const std::wstring& keyPath) override {
        return ReadMachineSetupPath(keyPath);
    }
    std::wstring LanguageAbbreviation() override {
        wchar_t text[MAX_PATH] = {};
        int length = ::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, text, MAX_PATH);
        return length > 0 ? std::wstring(text) : std::wstring();
    }

private:
    const Application& app_;
};

} // namespace

const std::wstring& LanguageFileBasePath() {
    return g_languageFileBase;
}

SaverApp::SaverApp() = default;

bool SaverApp::InitInstance() {
    // The hidden watcher a dimming process starts: it needs the profile key and nothing else,
    // and leaves the parameters alone.
    if (const auto watch = ParseRestoreWatchCommand(::GetCommandLineW())) {
        SetAppName(kSaverAppName);
        SetRegistryKey(kVendorFolder);
        parametersSaved_ = true;
        RunRestoreWatch(*watch, ProfileKeyPath());
        return false;
    }
    // The removal of the user's settings starts nothing of the saver's: its start-up would
    // create the very folder and key the step removes.
    if (const auto step = ParseUserStepCommand(::GetCommandLineW());
        step && step->kind == UserStepKind::RemoveSettings) {
        parametersSaved_ = true;
        userStepExit_ = RunUserStepWin32(*step);
        return false;
    }
    PrepareEnvironment();
    // The installer's per-user step: the start-up as /d and /r have it (the elevated one
    // creates the shared data folder for everybody), then the screen-saver values and their
    // backup; like them it saves no parameter.
    if (const auto step = ParseUserStepCommand(::GetCommandLineW())) {
        parametersSaved_ = true;
        userStepExit_ = RunUserStepWin32(*step);
        return false;
    }
    SaverCommand command = ParseSaverCommandLine(::GetCommandLineW());
    mode_ = command.mode;
    return Dispatch(command);
}

void SaverApp::PrepareEnvironment() {
    SetAppName(kSaverAppName);
    // The common controls (the 3-D look, the trackbar) are registered by the framework before
    // its first dialog: the /s and /w processes show none and skip their cost.
    SetRegistryKey(kVendorFolder);
    // Before anything else can touch the brightness: a saver that died dimmed is undone first.
    StartBrightnessRestore(ProfileKeyPath());

    Win32StartupEnvironment environment(*this);
    paths_ = FormSaverPaths(environment, AppName());
    Win32IniStore ini;
    urls_ = LoadUrlTable(ini, paths_.languageFolder, paths_.installFolder);
    g_languageFileBase = paths_.languageFileBase;
    LoadParameterStores();
}

int SaverApp::ExitInstance() {
    if (!parametersSaved_)
        SaveParameterStores();
    if (mode_ == SaverMode::RunSaver && !anotherSaverRuns_ &&
        parameters_.resumePasswordProtect != 0)
        ::LockWorkStation();
    if (userStepExit_)
        return static_cast<int>(*userStepExit_);
    return Application::ExitInstance();
}

bool SaverApp::LaunchUpdater(bool addH, bool addC, HWND owner) {
    VersionInfo version;
    ReadVersionInfo(version); // without one the updater gets an empty version
    UpdaterRequest request;
    request.productId = productId_;
    request.productName = AppName();
    request.installedVersion = version.ProductVersion;
    request.updateUrl = urls_.updateUrl;
    request.addH = addH;
    request.addC = addC;
    return StartUpdater(paths_.installFolder, std::move(request), owner);
}

void SaverApp::LoadParameterStores() {
    ApplicationProfileStore profile(*this);
    Win32IniStore ini;
    LoadParameters(parameters_, profile, ini, CurrentProgramLocation(AppName()),
                   paths_.sharedDataFolder);
}

void SaverApp::SaveParameterStores() {
    ApplicationProfileStore profile(*this);
    Win32IniStore ini;
    SaveParameters(parameters_, profile, ini, CurrentProgramLocation(AppName()),
                   paths_.sharedDataFolder);
}

bool SaverApp::Dispatch(const SaverCommand& command) {
    HWND owner = command.ownerIsForegroundWindow
                     ? ::GetForegroundWindow()
                     : reinterpret_cast<HWND>(static_cast<uintptr_t>(command.handle));
    switch (command.mode) {
    case SaverMode::Configure:
        RunSettingsDialog(*this, owner);
        return false;
    case SaverMode::ChangePassword:
        RunPasswordChange(owner);
        return false;
    case SaverMode::Preview:
        return true; // no window: the loop ends at once and nothing is drawn
    case SaverMode::StartSaver:
        // The /w copy loads the parameters as it starts: saved now, they are never rewritten
        // while it reads them (it could see keys missing and store defaults at its own exit).
        SaveParameterStores();
        parametersSaved_ = true;
        RelaunchAsRunSaver();
        return false;
    case SaverMode::Install:
    case SaverMode::Restore:
        // The installer and the uninstaller run these elevated. They change no parameter, and
        // the shared "Param.ini" lies in a folder every user may write (a link placed there
        // would turn the save into an administrator's write anywhere): nothing is saved.
        parametersSaved_ = true;
        UpdateSystemSaverSettingsWin32(command.mode == SaverMode::Install);
        return false;
    case SaverMode::RunSaver:
        if (!BecomeTheOnlySaver()) {
            anotherSaverRuns_ = true;
            return false;
        }
        // abort() in a windowed program shows a box and waits; behind the top-most overlay
        // nobody sees it, and the panel would stay dim until then. The process ends at once
        // instead, and its watcher puts the brightness back.
        _set_error_mode(_OUT_TO_STDERR);
        return StartSaverWindow(*this);
    case SaverMode::Invalid:
        break;
    }
    return false;
}

bool SaverApp::BecomeTheOnlySaver() {
    // One per session: the system runs one screen saver per desktop session.
    saverMutex_.reset(::CreateMutexW(nullptr, FALSE, L"Local\\Duskpanel.RunningSaver"));
    // Without the object nothing can be told; running beats a missing saver.
    return !saverMutex_ || ::GetLastError() != ERROR_ALREADY_EXISTS;
}

void SaverApp::RelaunchAsRunSaver() {
    std::wstring path = ProgramFilePath();
    if (path.empty())
        return; // a truncated path would start some other program
    std::wstring commandLine = L"\"" + path + L"\" /w";
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // The /w copy carries the saver on its own: nobody waits for it. A failed start means no
    // saver this time; there is nothing to report it to.
    ProcessInformation process;
    ::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE,
                     HIGH_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                     process.put());
}

} // namespace dp
