#include "saver/power_broadcast.h"

namespace dp {

namespace {

constexpr std::uintptr_t kPowerChangeBits = 0xA;

} // namespace

bool IsPowerChangeBroadcast(std::uintptr_t eventCode) {
    return (eventCode & kPowerChangeBits) != 0;
}

} // namespace dp
