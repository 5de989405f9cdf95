#include "updater/win32/updater_app.h"

#include <windows.h>

#include "framework/win32/common_controls.h"
#include "updater/win32/settings_dialog.h"
#include "updater/win32/update_dialog.h"
#include "updater/win32/update_system.h"
#include "updater/win32/user_step_relay.h"

namespace dp {

bool UpdaterApp::InitInstance() {
    // Started by the desktop's shell for the installer: only the "here" form, which acts for
    // this account alone; no dialog, no single-instance mutex.
    if (const auto step = ParseUserStepCommand(::GetCommandLineW()); step && step->here) {
        relayExit_ = RelayUserStep(*step);
        return false;
    }
    commandLine_ = ParseUpdaterCommandLine(::GetCommandLineW());
    if (commandLine_.watchedSetup != 0) {
        // A watcher copy (/x): no dialog and no single-instance mutex, which the next update
        // check must find free while this copy still waits.
        ReportSetupEnd(commandLine_);
        return false;
    }

    const std::wstring mutexName = SingleInstanceMutexName(commandLine_.productId);
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, mutexName.c_str());
    const DWORD error = ::GetLastError();
    instanceMutex_.reset(mutex);
    if (!instanceMutex_ || error == ERROR_ALREADY_EXISTS)
        return false;

    InitCommonControlClasses(ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES);

    if (commandLine_.showSettings) {
        ShowSettings();
    } else {
        UpdateDialog dialog(commandLine_, AppName());
        dialog.DoModal();
    }
    // The program ends with its dialog. A worker still downloading ends with the process.
    return false;
}

void UpdaterApp::ShowSettings() {
    HWND parent = reinterpret_cast<HWND>(commandLine_.parentWindow);
    // A dialog cannot be created with an owner that is not a window: show it on its own.
    if (parent && !::IsWindow(parent))
        parent = nullptr;
    UpdaterSettingsDialog(parent).DoModal();
}

int UpdaterApp::ExitInstance() {
    if (relayExit_)
        return static_cast<int>(*relayExit_);
    return Application::ExitInstance();
}

} // namespace dp
