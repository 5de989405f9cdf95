#include "brightness/win32/system_brightness.h"

namespace dp {

std::unique_ptr<BrightnessController> CreateSystemBrightnessController() {
    return std::make_unique<SystemBrightnessController>();
}

} // namespace dp
