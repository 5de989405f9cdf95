#include "saver/password_delay.h"

namespace dp {

namespace {

constexpr std::uint64_t kMsPerSecond = 1000;

} // namespace

bool WithinPasswordDelay(std::uint32_t startTick, std::uint32_t nowTick,
                         std::uint32_t passwordDelaySeconds) {
    const std::uint32_t elapsedMs = nowTick - startTick;
    // In 64 bits: a delay above 4294967 s would wrap a 32-bit product to a short delay.
    return elapsedMs <= passwordDelaySeconds * kMsPerSecond;
}

} // namespace dp
