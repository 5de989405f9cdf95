#include "saver/overlay_alpha.h"

namespace dp {

namespace {

constexpr int kMinLevel = 0;
constexpr int kMaxLevel = 100;
constexpr float kAlphaPerLevel = 2.55f;

} // namespace

std::uint8_t OverlayAlpha(int level) {
    if (level < kMinLevel || level > kMaxLevel)
        level = kMaxLevel;
    // The product is formed in double, where it is exact: rounding it to float first would turn
    // 254.99999... into 255 (and 50.99999... into 51) on some compilers and not on others.
    const double alpha = static_cast<double>(kAlphaPerLevel) * level;
    return static_cast<std::uint8_t>(alpha);
}

} // namespace dp
