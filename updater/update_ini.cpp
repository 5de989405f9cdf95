#include "updater/update_ini.h"

namespace dp {

namespace {

// The reader is asked for the platform's buffer size; the cut is applied here as well so that
// a value never outgrows what the rest of the program was sized for.
std::wstring ReadBounded(IniReader& reader, std::wstring_view file, std::wstring_view section,
                         std::wstring_view key, std::wstring_view defaultValue,
                         std::size_t bufferChars) {
    std::wstring value = reader.ReadString(file, section, key, defaultValue, bufferChars);
    if (value.size() >= bufferChars)
        value.resize(bufferChars - 1);
    return value;
}

} // namespace

std::wstring ReadOfferedVersion(IniReader& reader, std::wstring_view iniFile) {
    return ReadBounded(reader, iniFile, L"public", L"version", L"0.0", kVersionChars);
}

SetupSource ReadSetupSource(IniReader& reader, std::wstring_view iniFile,
                            std::wstring_view productId) {
    SetupSource source;
    source.downloadPath =
        ReadBounded(reader, iniFile, productId, L"download_path", L"", kDownloadPathChars);
    source.setupParam =
        ReadBounded(reader, iniFile, productId, L"setup_param", L"", kSetupParamChars);
    return source;
}

} // namespace dp
