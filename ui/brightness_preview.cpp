#include "ui/brightness_preview.h"

namespace dp {

void BrightnessPreview::Begin(std::uint8_t level) {
    if (pending_ || !controller_.IsBacklightMode())
        return;
    pending_ = true;
    // A request the driver refuses is not reported: the revert is sent all the same.
    controller_.ApplyBrightness(level, level, kDisplayPolicyBoth);
}

void BrightnessPreview::End() {
    if (!pending_)
        return;
    pending_ = false;
    if (const auto initial = controller_.GetInitialBrightness())
        controller_.ApplyBrightness(initial->ucACBrightness, initial->ucDCBrightness,
                                    kDisplayPolicyAc);
    else
        controller_.ReapplyActivePowerScheme();
}

} // namespace dp
