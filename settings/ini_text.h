// Text conversions the settings files rely on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

// The C runtime's _wtoi: leading white space, an optional sign, decimal digits up to the first
// other character; no digits give 0. Nothing for a number beyond 32 bits ("99999999999"), which
// no setting holds: the caller's default stands instead of a made-up value.
std::optional<std::int32_t> ParseLeadingInt(std::wstring_view text);

// "%d"
std::wstring FormatInt(std::int32_t value);

// Every backslash-n pair becomes one line feed; any other backslash stays as it is.
std::wstring ExpandLineBreaks(std::wstring_view text);

// Path split as _wsplitpath does it: drive ("X:"), folder (up to and including the last slash),
// base name and extension (from the last dot of the file name).
struct SplitPath {
    std::wstring drive;
    std::wstring folder;
    std::wstring baseName;
    std::wstring extension;
};
SplitPath SplitFilePath(std::wstring_view path);

} // namespace dp
