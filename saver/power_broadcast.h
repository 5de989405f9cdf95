// Which WM_POWERBROADCAST event codes make the dimmer re-apply its level.
#pragma once

#include <cstdint>

namespace dp {

// A bit test, not a list: PBT_APMPOWERSTATUSCHANGE (0xA) and every code with bit 0x2 or 0x8
// set qualify (0x2, 0x7, 0x8, 0x9, 0x12, ...); 0x1, 0x4 and 0x5 do not. A code that qualifies
// without a change of power source costs one re-application of the level already set.
bool IsPowerChangeBroadcast(std::uintptr_t eventCode);

} // namespace dp
