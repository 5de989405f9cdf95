#include "ui/settings_levels.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace dp {

std::uint32_t SliderMaximum(std::uint32_t levelCount) {
    return levelCount == 0 ? 0 : levelCount - 1;
}

std::uint32_t SliderPositionForLevel(const LevelTable& levels, std::uint32_t levelCount,
                                     std::int32_t storedLevel) {
    const std::uint32_t count =
        std::min<std::uint32_t>(levelCount, static_cast<std::uint32_t>(levels.size()));
    std::uint32_t best = 0;
    // 64 bits: a stored level may be any 32-bit number, and its distance to an entry with it.
    std::int64_t bestDistance = INT64_MAX;
    for (std::uint32_t position = 0; position < count; ++position) {
        const std::int64_t distance =
            std::abs(static_cast<std::int64_t>(levels[position]) - storedLevel);
        const bool nearer = distance < bestDistance;
        const bool asNearButLower = distance == bestDistance && levels[position] < levels[best];
        if (nearer || asNearButLower) {
            best = position;
            bestDistance = distance;
        }
    }
    return best;
}

} // namespace dp
