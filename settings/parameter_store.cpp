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
};

IniProfile OpenParamIni(IniStore& ini, const ProgramLocation& location,
                        const std::wstring& dataFolder) {
    IniProfile profile(ini, location, true);
    profile.SetFile(FormFileInFolder(dataFolder, kParamIniName));
    profile.SetSection(kParamIniSection);
    return profile;
}

} // namespace

void LoadParameters(Parameters& parameters, ProfileStore& profile, IniStore& ini,
                    const ProgramLocation& location, const std::wstring& dataFolder) {
    for (const ParameterKey& k : kParameterKeys)
        parameters.*k.field = profile.GetInt(L"", k.key, k.defaultValue);
    IniProfile file = OpenParamIni(ini, location, dataFolder);
    for (const ParameterKey& k : kParameterKeys)
        parameters.*k.field = file.GetInt(k.key, k.defaultValue);
}

void SaveParameters(const Parameters& parameters, ProfileStore& profile, IniStore& ini,
                    const ProgramLocation& location, const std::wstring& dataFolder) {
    for (const ParameterKey& k : kParameterKeys)
        profile.WriteInt(L"", k.key, parameters.*k.field);
    IniProfile file = OpenParamIni(ini, location, dataFolder);
    for (const ParameterKey& k : kParameterKeys)
        file.WriteInt(k.key, parameters.*k.field);
}

} // namespace dp
