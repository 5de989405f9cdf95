// Putting the brightness back by re-applying the active power scheme: switching to another
// scheme and straight back makes the system apply the active scheme's display settings, its
// brightness for the current power source among them.
#pragma once

#include "brightness/display_brightness.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace dp {

// A scheme identifier (a GUID); two are equal when all 16 bytes are.
using PowerSchemeId = std::array<std::uint8_t, 16>;

// The power library's three scheme entries, bound for the life of this object.
class PowerSchemeApi {
public:
    virtual ~PowerSchemeApi() = default;
    // The active scheme, or nothing when the system named none.
    virtual std::optional<PowerSchemeId> GetActiveScheme() = 0;
    // The scheme at this position of the system's list, or nothing once the list reports an
    // error (its end included).
    virtual std::optional<PowerSchemeId> EnumerateScheme(std::uint32_t index) = 0;
    virtual void SetActiveScheme(const PowerSchemeId& scheme) = 0;
};

// Loads the power library on request, so that the program also starts where it is missing.
class PowerSchemeLibrary {
public:
    virtual ~PowerSchemeLibrary() = default;
    // Nothing when the library or any of its three entries is missing.
    virtual std::unique_ptr<PowerSchemeApi> Load() = 0;
};

// No system lists anywhere near this many schemes; the search stops here so that a list that
// never reports its end cannot hang the restore.
inline constexpr std::uint32_t kMaxPowerSchemes = 256;

// Power schemes with their own brightness exist from major version 6 on.
bool HasPowerSchemes(const OsVersion& version);

// The first listed scheme that differs from the active one, or nothing.
std::optional<PowerSchemeId> FindOtherScheme(PowerSchemeApi& api, const PowerSchemeId& active);

// Switches to another scheme and back to the active one. Does nothing before version 6, without
// the library, without an active scheme, or when there is no other scheme to switch to.
void ReapplyPowerScheme(const OsVersion& version, PowerSchemeLibrary& library);

} // namespace dp
