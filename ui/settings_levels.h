// The settings dialog's sliders count positions in the panel's level table, while the stored
// "AC" and "DC" parameters are levels: these rules translate between the two.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "brightness/display_brightness.h"

namespace dp {

// The last position of a slider over a table of levelCount entries. An empty table still gives
// the slider its one position 0.
std::uint32_t SliderMaximum(std::uint32_t levelCount);

// Where a slider starts for a stored level: the first position whose entry equals it, else the
// position of the entry nearest to it (the lower entry when two are as near); 0 for an empty
// table. levelCount is capped at the table's size.
std::uint32_t SliderPositionForLevel(const LevelTable& levels, std::uint32_t levelCount,
                                     std::int32_t storedLevel);

// The levels the sliders run over: the panel's own table when the panel can be controlled; else,
// when at least one external monitor answered, 0, 10, ..., 100 (a monitor takes any share of its
// range); else none, and the sliders stay disabled.
struct SliderLevels {
    LevelTable levels{};
    std::uint32_t count = 0;

    bool Enabled() const { return count > 0; }
};
SliderLevels ChooseSliderLevels(bool panelControlled, const LevelTable& panelLevels,
                                std::uint32_t panelLevelCount, std::size_t answeringMonitors);

// The line under the monitors' check box: the descriptions of the monitors that answered,
// separated by commas (one without a description by its place, "Monitor 2"), or "none answered".
std::wstring MonitorNamesLine(const std::vector<std::wstring>& names);

} // namespace dp
