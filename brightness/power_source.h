// Which power source is in force, from the platform's ACLineStatus.
#pragma once

#include <cstdint>
#include <optional>

namespace dp {

// ACLineStatus values as the platform reports them.
inline constexpr std::uint8_t kAcLineOffline = 0;
inline constexpr std::uint8_t kAcLineOnline = 1;
inline constexpr std::uint8_t kAcLineUnknown = 255;

// Mains unless the platform says plainly that the line is offline: an unknown status, and a
// status that could not be read at all, count as mains.
bool IsMainsPower(std::optional<std::uint8_t> acLineStatus);

} // namespace dp
