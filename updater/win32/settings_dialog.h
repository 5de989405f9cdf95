// The settings template (103): update interval and proxy choices, shown as they stand. Nothing
// is read back or stored; OK and Cancel only close it.
#pragma once

#include <windows.h>

#include "framework/win32/dialog.h"

namespace dp {

class UpdaterSettingsDialog : public Dialog {
public:
    explicit UpdaterSettingsDialog(HWND parent);

protected:
    bool OnInitDialog() override;
};

} // namespace dp
