// UpdaterApp: Renewick's application object. One copy per product runs at a time; it shows
// either the update dialog or the settings template, and ends when that dialog closes.
#pragma once

#include <windows.h>

#include "framework/win32/application.h"
#include "framework/win32/handles.h"
#include "updater/updater_command_line.h"

namespace dp {

class UpdaterApp : public Application {
public:
    bool InitInstance() override;

private:
    void ShowSettings();

    UpdaterCommandLine commandLine_;
    // Held for the life of the process: its name says this product's updater runs.
    UniqueHandle instanceMutex_;
};

} // namespace dp
