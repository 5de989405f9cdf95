// The rectangle the saver window covers: every monitor.
#pragma once

#include <cstdint>

namespace dp {

// GetSystemMetrics values: SM_XVIRTUALSCREEN, SM_YVIRTUALSCREEN, SM_CXVIRTUALSCREEN,
// SM_CYVIRTUALSCREEN, and SM_CXSCREEN, SM_CYSCREEN for systems without multi-monitor metrics.
struct ScreenMetrics {
    std::int32_t virtualX = 0;
    std::int32_t virtualY = 0;
    std::int32_t virtualWidth = 0;
    std::int32_t virtualHeight = 0;
    std::int32_t primaryWidth = 0;
    std::int32_t primaryHeight = 0;
};

struct ScreenRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// The virtual screen where it starts, which is left of or above the primary monitor's origin
// when a monitor lies there. Where the system reports no virtual screen (GetSystemMetrics
// gives 0 before multi-monitor support), the primary screen at the origin.
ScreenRect SaverWindowRect(const ScreenMetrics& metrics);

} // namespace dp
