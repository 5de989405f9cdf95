// A BrightnessController working with the real platform: the LCD device, WMI, the power status
// and "powrprof.dll".
#pragma once

#include "brightness/brightness_controller.h"
#include "brightness/win32/power_scheme_win32.h"
#include "brightness/win32/system_status.h"
#include "brightness/win32/video_ioctl.h"
#include "brightness/win32/wmi_levels.h"

#include <memory>

namespace dp {

struct SystemBrightnessBackends {
    SystemOsVersion osVersion;
    VideoPortPanel device;
    WmiMonitorLevels wmiLevels;
    SystemPowerStatus powerStatus;
    PowrProfLibrary powerSchemes;

    BrightnessBackends Sources() {
        return {osVersion, device, wmiLevels, powerStatus, powerSchemes};
    }
};

// The back-ends are a base listed before the controller, so they are built before its
// detection runs and destroyed only after its restore.
class SystemBrightnessController final : private SystemBrightnessBackends,
                                         public BrightnessController {
public:
    SystemBrightnessController() : SystemBrightnessBackends(), BrightnessController(Sources()) {}
};

std::unique_ptr<BrightnessController> CreateSystemBrightnessController();

} // namespace dp
