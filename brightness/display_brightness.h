// The values the brightness code passes around: the video port's brightness record, the
// power policies, the table of supported levels and the OS version.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dp {

// The video port's 3-byte brightness record (DISPLAY_BRIGHTNESS), byte for byte.
struct DisplayBrightness {
    std::uint8_t ucDisplayPolicy = 0;
    std::uint8_t ucACBrightness = 0;
    std::uint8_t ucDCBrightness = 0;

    friend bool operator==(const DisplayBrightness&, const DisplayBrightness&) = default;
};
static_assert(sizeof(DisplayBrightness) == 3, "the driver reads and writes exactly 3 bytes");

// Which level of a record a request concerns (ucDisplayPolicy).
inline constexpr std::uint8_t kDisplayPolicyAc = 1;
inline constexpr std::uint8_t kDisplayPolicyDc = 2;
inline constexpr std::uint8_t kDisplayPolicyBoth = 3;

// A saved record whose AC byte holds this value holds nothing.
inline constexpr std::uint8_t kNothingSaved = 255;

// One byte per level: the driver's supported-levels buffer has room for 256 of them, and no
// source may put more into the table.
inline constexpr std::size_t kMaxLevels = 256;
using LevelTable = std::array<std::uint8_t, kMaxLevels>;

// Levels as a source reports them, in its order and of any length.
using LevelList = std::vector<std::uint8_t>;

struct OsVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

} // namespace dp
