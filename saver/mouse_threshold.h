// The box around the cursor's starting position that mouse movement must leave to end the saver.
#pragma once

#include <cstdint>
#include <optional>

namespace dp {

// A position in screen coordinates (as GetCursorPos gives it; negative left of or above the
// primary monitor).
struct ScreenPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

class MouseThresholdBox {
public:
    static constexpr std::int32_t kDefaultThreshold = 3;

    // "Mouse Threshold" of the system's screen-saver settings, in pixels. Compared signed, as
    // read: a negative value makes any mouse message end the saver.
    void SetThreshold(std::int32_t pixels) { threshold_ = pixels; }
    std::int32_t Threshold() const { return threshold_; }

    // The reference position: the cursor position when the window is created (not the first
    // WM_MOUSEMOVE, which Windows sends on its own when a window appears), and again after a
    // refused password.
    void Reset(ScreenPoint start) { start_ = start; }
    // No reference, because the cursor could not be read (another desktop has the input).
    void Forget() { start_.reset(); }

    // The cursor position is read when the message is handled, not taken from the message.
    // True when either axis has moved strictly more than the threshold. Without a reference
    // the position becomes the reference and nothing has moved: a made-up reference such as
    // (0,0) would end the saver at the first mouse message.
    bool MovedBeyond(ScreenPoint cursor);

private:
    std::int32_t threshold_ = kDefaultThreshold;
    std::optional<ScreenPoint> start_;
};

} // namespace dp
