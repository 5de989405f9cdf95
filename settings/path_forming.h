// Forming the program's paths. Every path lives in a MAX_PATH buffer on the target (259
// characters and the terminator); a composed path that would not fit is rejected: the result is
// empty, and every user treats an empty path as a missing file or folder.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

namespace dp {

inline constexpr std::size_t kMaxPathChars = 259;
inline constexpr wchar_t kVendorFolder[] = L"Nerovane";

// The parts joined as they are; empty when the result would exceed kMaxPathChars.
std::wstring JoinBounded(std::initializer_list<std::wstring_view> parts);

// <shell folder>\Nerovane\<application name>
std::wstring FormVendorFolder(std::wstring_view shellFolder, std::wstring_view appName);
// <install folder>\Languages\<abbreviation>
std::wstring FormLanguageFolder(std::wstring_view installFolder, std::wstring_view abbreviation);
// <language folder>\<application name>.ini; empty for an empty (missing) folder
std::wstring FormLanguageFileBase(std::wstring_view languageFolder, std::wstring_view appName);
// <folder>\<file name>; empty for an empty (missing) folder
std::wstring FormFileInFolder(std::wstring_view folder, std::wstring_view fileName);

// A copy of text with at most maxChars characters, as a buffer of maxChars + 1 would hold.
std::wstring TruncateText(std::wstring text, std::size_t maxChars);

} // namespace dp
