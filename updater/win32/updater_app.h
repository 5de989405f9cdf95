// UpdaterApp: Renewick's application object. One copy per product runs at a time; it shows
// either the update dialog or the settings template, and ends when that dialog closes.
//
// There is no Help command (ID_HELP) to route to the application's help: none of Renewick's
// templates has a Help button, no "Renewick.hlp" is shipped beside the program, and the help
// engine such a file needs (WinHelp) is not part of current Windows, where F1 would only bring
// up the system's notice that it is missing. F1 (WM_HELP) is left to the dialogs' default
// handling, which does nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "framework/win32/application.h"
#include "framework/win32/handles.h"
#include "updater/updater_command_line.h"

namespace dp {

class UpdaterApp : public Application {
public:
    bool InitInstance() override;
    int ExitInstance() override;

private:
    void ShowSettings();

    UpdaterCommandLine commandLine_;
    // Held for the life of the process: its name says this product's updater runs.
    UniqueHandle instanceMutex_;
    std::optional<std::uint32_t> relayExit_; // the per-user step's exit code, when relayed
};

} // namespace dp
