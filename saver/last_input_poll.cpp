#include "saver/last_input_poll.h"

namespace dp {

namespace {

// Whether `later` is after `earlier` on the wrapping 32-bit tick scale.
bool TickAfter(std::uint32_t later, std::uint32_t earlier) {
    return static_cast<std::int32_t>(later - earlier) > 0;
}

} // namespace

bool LastInputPoll::InputArrived(std::uint32_t lastInputTick) const {
    return TickAfter(lastInputTick, armedTick_);
}

} // namespace dp
