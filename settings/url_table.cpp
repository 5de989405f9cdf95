#include "settings/url_table.h"

#include "settings/path_forming.h"

namespace dp {
namespace {

constexpr wchar_t kUrlInfoName[] = L"URLinfo.ini";

std::wstring ChooseUrlFile(IniStore& ini, const std::wstring& languageFolder,
                           const std::wstring& installFolder) {
    std::wstring inLanguageFolder = FormFileInFolder(languageFolder, kUrlInfoName);
    if (!inLanguageFolder.empty() && ini.Exists(inLanguageFolder))
        return inLanguageFolder;
    return FormFileInFolder(installFolder, kUrlInfoName);
}

// Read with room for one character more than an address may have: a longer value would arrive
// cut short, and an address cut short leads somewhere else, so it counts as missing.
std::wstring ReadUrl(IniStore& ini, const std::wstring& file, const wchar_t* key) {
    if (file.empty())
        return kVendorHomeUrl;
    std::wstring url = ini.ReadString(file, L"public", key, kVendorHomeUrl, kUrlBufferChars + 1);
    return url.size() > kUrlBufferChars - 1 ? kVendorHomeUrl : url;
}

} // namespace

UrlTable LoadUrlTable(IniStore& ini, const std::wstring& languageFolder,
                      const std::wstring& installFolder) {
    std::wstring file = ChooseUrlFile(ini, languageFolder, installFolder);
    UrlTable table;
    table.homeUrl = ReadUrl(ini, file, L"home");
    table.supportUrl = ReadUrl(ini, file, L"support");
    table.updateUrl = ReadUrl(ini, file, L"update");
    return table;
}

} // namespace dp
