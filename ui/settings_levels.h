// The settings dialog's sliders count positions in the panel's level table, while the stored
// "AC" and "DC" parameters are levels: these rules translate between the two.
#pragma once

#include <cstdint>

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

} // namespace dp
