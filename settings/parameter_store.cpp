#include "settings/parameter_store.h"

#include "settings/path_forming.h"

namespace dp {
namespace {

struct ParameterKey {
    const wchar_t* key;
    std::int32_t defaultValue;
    std::int32_t Parameters::*field;
};

// Always handled in this order.
constexpr ParameterKey kParameterKeys[] = {
    {L"AC", 0, &Parameters::acBrightness},
    {L"DC", 0, &Parameters::dcBrightness},
    {L"gamma", 128, &Parameters::gammaLevel},
    {L"Enable_resume_password_protect", 1, &Parameters::resumePasswordProtect},
    {kDimMonitorsKey, 1, &Parameters::dimExternalMonitors},
};

IniProfile OpenParamIni(IniStore& ini, const ProgramLocation& location, const std::wstring& file) {
    IniProfile profile(ini, location, true);
    profile.SetFile(file);
    profile.SetSection(kParamIniSection);
    return profile;
}

} // namespace

void LoadParameters(Parameters& parameters, ProfileStore& profile, IniStore& ini,
                    const ProgramLocation& location, const std::wstring& dataFolder) {
    for (const ParameterKey& k : kParameterKeys)
        parameters.*k.field = profile.GetInt(L"", k.key, k.defaultValue);
    // Without a file the table's defaults would replace the profile's values, and the exit
    // would then store those defaults: the user's levels would be lost at every start.
    const std::wstring path = FormFileInFolder(dataFolder, kParamIniName);
    if (path.empty())
        return;
    IniProfile file = OpenParamIni(ini, location, path);
    for (const ParameterKey& k : kParameterKeys)
        parameters.*k.field = file.GetInt(k.key, k.defaultValue);
}

void SaveParameters(const Parameters& parameters, ProfileStore& profile, IniStore& ini,
                    const ProgramLocation& location, const std::wstring& dataFolder) {
    for (const ParameterKey& k : kParameterKeys)
        profile.WriteInt(L"", k.key, parameters.*k.field);
    const std::wstring path = FormFileInFolder(dataFolder, kParamIniName);
    if (path.empty())
        return;
    IniProfile file = OpenParamIni(ini, location, path);
    for (const ParameterKey& k : kParameterKeys)
        file.WriteInt(k.key, parameters.*k.field);
}

} // namespace dp
