// Comparing the installed version with the one an update INI offers.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace dp {

enum class VersionOrder : int {
    Equal = 0,
    InstalledNewer = 1,
    OfferedNewer = 2,
};

// At most this many components of each version take part; further ones are ignored.
inline constexpr std::size_t kMaxVersionComponents = 50;

// The first of '.', ',', '_', '|', '-', ' ' that occurs anywhere in the text.
std::optional<wchar_t> DetectSeparator(std::wstring_view version);

// Each version is split at its own separator; components compare as integers after their
// blanks are removed, missing components count as 0.
VersionOrder CompareVersions(std::wstring_view installed, std::wstring_view offered);

// The leading integer of text as _wtoi reads it: leading white space, an optional sign,
// decimal digits up to the first other character; 0 without digits, clamped to int's range.
int LeadingInteger(std::wstring_view text);

} // namespace dp
