#include "saver/power_level.h"

#include "brightness/power_source.h"

namespace dp {

namespace {

std::uint8_t LowByte(std::int32_t value) {
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFFu);
}

} // namespace

PowerLevelChoice ChoosePowerLevel(std::optional<std::uint8_t> acLineStatus,
                                  std::int32_t acBrightness, std::int32_t dcBrightness) {
    if (IsMainsPower(acLineStatus))
        return {LowByte(acBrightness), kDisplayPolicyAc};
    return {LowByte(dcBrightness), kDisplayPolicyDc};
}

} // namespace dp
