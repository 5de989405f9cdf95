#include "updater/version_compare.h"

#include "framework/crt_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace dp {

namespace {

constexpr std::array<wchar_t, 6> kSeparators = {L'.', L',', L'_', L'|', L'-', L' '};

std::vector<std::wstring_view> SplitComponents(std::wstring_view version) {
    std::vector<std::wstring_view> components;
    const auto separator = DetectSeparator(version);
    if (!separator) {
        components.push_back(version);
        return components;
    }
    while (components.size() < kMaxVersionComponents) {
        const std::size_t end = version.find(*separator);
        components.push_back(version.substr(0, end));
        if (end == std::wstring_view::npos)
            break;
        version.remove_prefix(end + 1);
    }
    return components;
}

std::wstring WithoutBlanks(std::wstring_view text) {
    std::wstring result(text);
    std::erase(result, L' ');
    return result;
}

int ComponentValue(const std::vector<std::wstring_view>& components, std::size_t index) {
    return index < components.size() ? LeadingInteger(WithoutBlanks(components[index])) : 0;
}

} // namespace

std::optional<wchar_t> DetectSeparator(std::wstring_view version) {
    for (wchar_t separator : kSeparators) {
        if (version.find(separator) != std::wstring_view::npos)
            return separator;
    }
    return std::nullopt;
}

int LeadingInteger(std::wstring_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsCrtSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == L'+' || text[pos] == L'-'))
        negative = text[pos++] == L'-';

    constexpr std::int64_t kBeyondInt = std::int64_t{std::numeric_limits<int>::max()} + 2;
    std::int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9'; ++pos)
        magnitude = std::min(magnitude * 10 + (text[pos] - L'0'), kBeyondInt);

    const std::int64_t value = negative ? -magnitude : magnitude;
    return static_cast<int>(std::clamp<std::int64_t>(value, std::numeric_limits<int>::min(),
                                                     std::numeric_limits<int>::max()));
}

VersionOrder CompareVersions(std::wstring_view installed, std::wstring_view offered) {
    const auto installedParts = SplitComponents(installed);
    const auto offeredParts = SplitComponents(offered);
    for (std::size_t k = 0; k < kMaxVersionComponents; ++k) {
        const int mine = ComponentValue(installedParts, k);
        const int theirs = ComponentValue(offeredParts, k);
        if (mine < theirs)
            return VersionOrder::OfferedNewer;
        if (mine > theirs)
            return VersionOrder::InstalledNewer;
    }
    return VersionOrder::Equal;
}

} // namespace dp
