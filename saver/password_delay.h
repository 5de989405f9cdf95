// Whether closing the saver asks for the password or not yet.
#pragma once

#include <cstdint>

namespace dp {

// "Password Delay" of the system's screen-saver settings, in seconds. Ticks are GetTickCount
// milliseconds; their difference is taken modulo 2^32, so a tick count that wrapped while the
// saver ran still gives the right elapsed time.
//
// True when the saver has run at most passwordDelaySeconds: the user may leave without a
// password. The boundary itself (exactly the delay) is still within it.
bool WithinPasswordDelay(std::uint32_t startTick, std::uint32_t nowTick,
                         std::uint32_t passwordDelaySeconds);

} // namespace dp
