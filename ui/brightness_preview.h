// A preview of a saver level on the real panel: Begin shows the level, End puts back what the
// panel had when the controller was made. End may come early (the session ends while the
// preview's box is still up) and then does nothing a second time.
#pragma once

#include <cstdint>

#include "brightness/brightness_controller.h"

namespace dp {

class BrightnessPreview {
public:
    explicit BrightnessPreview(BrightnessController& controller) : controller_(controller) {}
    ~BrightnessPreview() { End(); }
    BrightnessPreview(const BrightnessPreview&) = delete;
    BrightnessPreview& operator=(const BrightnessPreview&) = delete;

    // Sets level for mains and battery alike. Without backlight control nothing happens and
    // nothing is pending.
    void Begin(std::uint8_t level);
    // Puts back the record read when the controller was made, as a mains request. When that
    // read failed there is no record (its zero bytes would turn the backlight off): the active
    // power scheme is re-applied instead, which sets the system's own brightness.
    void End();
    bool Pending() const { return pending_; }

private:
    BrightnessController& controller_;
    bool pending_ = false;
};

} // namespace dp
