// The saver parameters, loaded at start-up and saved at exit, each time into two stores: the
// registry profile (values directly in the application key) and "Param.ini".
#pragma once

#include <cstdint>
#include <string>

#include "settings/ini_profile.h"
#include "settings/key_value_store.h"

namespace dp {

struct Parameters {
    std::int32_t acBrightness = 0;
    std::int32_t dcBrightness = 0;
    std::int32_t gammaLevel = 128;
    std::int32_t resumePasswordProtect = 0; // loading turns a missing value into 1
    // Nonzero: external monitors are dimmed with the panel. Stores written before the key
    // existed lack it, and loading gives 1 then.
    std::int32_t dimExternalMonitors = 1;
};

inline constexpr wchar_t kParamIniName[] = L"Param.ini";
inline constexpr wchar_t kParamIniSection[] = L"public";
inline constexpr wchar_t kDimMonitorsKey[] = L"Dim_external_monitors";

// Profile values first, then "Param.ini" in dataFolder, whose values (or defaults) win. When no
// "Param.ini" can be named (an empty folder, or a path over the limit), the profile's values
// stand and no file is read or written.
void LoadParameters(Parameters& parameters, ProfileStore& profile, IniStore& ini,
                    const ProgramLocation& location, const std::wstring& dataFolder);
// The same two stores in the same order; failures are not examined.
void SaveParameters(const Parameters& parameters, ProfileStore& profile, IniStore& ini,
                    const ProgramLocation& location, const std::wstring& dataFolder);

} // namespace dp
