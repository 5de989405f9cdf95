// The display's supported brightness levels from WMI (class WmiMonitorBrightness in
// "root\wmi"). Read only: brightness is never set or read through WMI.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include "brightness/brightness_backends.h"

namespace dp {

// One property of a WmiMonitorBrightness instance: true when it is the level list ("Level", an
// array of bytes) and was copied into levels, whole and in order (an empty array gives an empty
// list; the controller cuts a long one to its table). False, levels untouched, otherwise.
bool ReadLevelProperty(const wchar_t* name, const VARIANT& value, LevelList& levels);

class WmiMonitorLevels final : public WmiLevelSource {
public:
    // Joins the thread to a single-threaded apartment (never left) and sets the process's COM
    // security, which a process can do once only: a second query in the same process fails.
    bool QueryLevels(LevelList& levels) override;
};

} // namespace dp
