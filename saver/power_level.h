// Which saver level, and which display power policy, go with the power source in force.
#pragma once

#include <cstdint>
#include <optional>

#include "brightness/display_brightness.h"

namespace dp {

struct PowerLevelChoice {
    std::uint8_t level = 0;
    // kDisplayPolicyAc or kDisplayPolicyDc, for BrightnessController::ApplyBrightness.
    std::uint8_t policy = kDisplayPolicyAc;

    friend bool operator==(const PowerLevelChoice&, const PowerLevelChoice&) = default;
};

// acLineStatus is SYSTEM_POWER_STATUS::ACLineStatus, or nothing when the status could not be
// read. Only 0 means battery; 1, 255 (unknown) and an unreadable status count as mains. The
// level is the low byte of the "AC" or "DC" parameter.
PowerLevelChoice ChoosePowerLevel(std::optional<std::uint8_t> acLineStatus,
                                  std::int32_t acBrightness, std::int32_t dcBrightness);

} // namespace dp
