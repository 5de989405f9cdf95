// How dark the overlay is: the constant source alpha of the layered window for a saver level.
#pragma once

#include <cstdint>

namespace dp {

// Levels outside 0..100 are painted as 100. The factor is the single-precision 2.55 (that is
// 2.5499999523...), and the product is truncated, so 100 gives 254, never 255.
std::uint8_t OverlayAlpha(int level);

} // namespace dp
