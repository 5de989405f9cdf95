#include "settings/path_forming.h"

namespace dp {

std::wstring JoinBounded(std::initializer_list<std::wstring_view> parts) {
    std::size_t length = 0;
    for (std::wstring_view part : parts)
        length += part.size();
    if (length > kMaxPathChars)
        return {};
    std::wstring joined;
    joined.reserve(length);
    for (std::wstring_view part : parts)
        joined.append(part);
    return joined;
}

std::wstring FormVendorFolder(std::wstring_view shellFolder, std::wstring_view appName) {
    return JoinBounded({shellFolder, L"\\", kVendorFolder, L"\\", appName});
}

std::wstring FormLanguageFolder(std::wstring_view installFolder, std::wstring_view abbreviation) {
    return JoinBounded({installFolder, L"\\Languages\\", abbreviation});
}

std::wstring FormLanguageFileBase(std::wstring_view languageFolder, std::wstring_view appName) {
    if (languageFolder.empty())
        return {};
    return JoinBounded({languageFolder, L"\\", appName, L".ini"});
}

std::wstring FormFileInFolder(std::wstring_view folder, std::wstring_view fileName) {
    // A folder that could not be formed holds no files: never fall back to a root-relative name.
    if (folder.empty())
        return {};
    return JoinBounded({folder, L"\\", fileName});
}

std::wstring TruncateText(std::wstring text, std::size_t maxChars) {
    if (text.size() > maxChars)
        text.resize(maxChars);
    return text;
}

} // namespace dp
