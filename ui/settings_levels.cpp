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

SliderLevels ChooseSliderLevels(bool panelControlled, const LevelTable& panelLevels,
                                std::uint32_t panelLevelCount, std::size_t answeringMonitors) {
    SliderLevels chosen;
    if (panelControlled) {
        chosen.levels = panelLevels;
        chosen.count =
            std::min<std::uint32_t>(panelLevelCount, static_cast<std::uint32_t>(kMaxLevels));
    } else if (answeringMonitors > 0) {
        constexpr std::uint32_t kSteps = 11; // 0, 10, ..., 100
        for (std::uint32_t i = 0; i < kSteps; ++i)
            chosen.levels[i] = static_cast<std::uint8_t>(i * 10);
        chosen.count = kSteps;
    }
    return chosen;
}

std::wstring MonitorNamesLine(const std::vector<std::wstring>& names) {
    if (names.empty())
        return L"none answered";
    std::wstring line;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0)
            line += L", ";
        line += names[i].empty() ? L"Monitor " + std::to_wstring(i + 1) : names[i];
    }
    return line;
}

} // namespace dp
