#include "saver/mouse_threshold.h"

namespace dp {

namespace {

// In 64 bits: two extreme 32-bit coordinates are more than INT32_MAX apart.
std::int64_t Distance(std::int32_t from, std::int32_t to) {
    const std::int64_t delta = static_cast<std::int64_t>(to) - from;
    return delta < 0 ? -delta : delta;
}

} // namespace

bool MouseThresholdBox::MovedBeyond(ScreenPoint cursor) {
    if (!start_) {
        start_ = cursor;
        return false;
    }
    return Distance(start_->x, cursor.x) > threshold_ || Distance(start_->y, cursor.y) > threshold_;
}

} // namespace dp
