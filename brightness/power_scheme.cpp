#include "brightness/power_scheme.h"

namespace dp {

bool HasPowerSchemes(const OsVersion& version) {
    return version.major >= 6;
}

std::optional<PowerSchemeId> FindOtherScheme(PowerSchemeApi& api, const PowerSchemeId& active) {
    for (std::uint32_t index = 0; index < kMaxPowerSchemes; ++index) {
        const std::optional<PowerSchemeId> scheme = api.EnumerateScheme(index);
        if (!scheme)
            return std::nullopt;
        if (*scheme != active)
            return scheme;
    }
    return std::nullopt;
}

void ReapplyPowerScheme(const OsVersion& version, PowerSchemeLibrary& library) {
    if (!HasPowerSchemes(version))
        return;
    const std::unique_ptr<PowerSchemeApi> api = library.Load();
    if (!api)
        return;
    // Without an active scheme there is nothing to come back to; with a single scheme there is
    // nothing to switch to, and switching to the active scheme alone changes nothing.
    const std::optional<PowerSchemeId> active = api->GetActiveScheme();
    if (!active)
        return;
    const std::optional<PowerSchemeId> other = FindOtherScheme(*api, *active);
    if (!other)
        return;
    api->SetActiveScheme(*other);
    api->SetActiveScheme(*active);
}

} // namespace dp
