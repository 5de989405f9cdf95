// The display's supported brightness levels from WMI (class WmiMonitorBrightness in
// "root\wmi"). Read only: brightness is never set or read through WMI.
#pragma once

#include "brightness/brightness_backends.h"

namespace dp {

class WmiMonitorLevels final : public WmiLevelSource {
public:
    // Joins the thread to a single-threaded apartment (never left) and sets the process's COM
    // security, which a process can do once only: a second query in the same process fails.
    bool QueryLevels(LevelList& levels) override;
};

} // namespace dp
