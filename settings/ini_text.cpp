#include "settings/ini_text.h"

#include "framework/crt_text.h"

namespace dp {

std::optional<std::int32_t> ParseLeadingInt(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCrtSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    // The magnitude of the most negative value, one beyond the most positive.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        value = value * 10 + (text[i] - L'0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

std::wstring FormatInt(std::int32_t value) {
    return std::to_wstring(value);
}

std::wstring ExpandLineBreaks(std::wstring_view text) {
    std::wstring result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\\' && i + 1 < text.size() && text[i + 1] == L'n') {
            result.push_back(L'\n');
            ++i;
        } else {
            result.push_back(text[i]);
        }
    }
    return result;
}

SplitPath SplitFilePath(std::wstring_view path) {
    SplitPath parts;
    if (path.size() >= 2 && path[1] == L':') {
        parts.drive = path.substr(0, 2);
        path.remove_prefix(2);
    }
    std::size_t slash = path.find_last_of(L"\\/");
    std::wstring_view name = path;
    if (slash != std::wstring_view::npos) {
        parts.folder = path.substr(0, slash + 1);
        name = path.substr(slash + 1);
    }
    std::size_t dot = name.find_last_of(L'.');
    if (dot == std::wstring_view::npos) {
        parts.baseName = name;
    } else {
        parts.baseName = name.substr(0, dot);
        parts.extension = name.substr(dot);
    }
    return parts;
}

} // namespace dp
