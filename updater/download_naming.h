// Where downloads are stored, what the setup file is called, how it is started, and how a URL
// is put on the wire.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dp {

// CreateProcessW takes at most 32767 characters of command line, terminator included.
inline constexpr std::size_t kMaxCommandLineChars = 32767;

// The last path component of a URL, once the query ("?...") and fragment ("#...") are dropped:
// the text after its last '\', or when there is none after its last '/', or the whole text
// without either; the extension stays. Empty when the URL's path ends in that separator.
std::wstring FileNameFromUrl(std::wstring_view url);

// True when name can be created in the temporary folder as itself and nothing else: not
// empty, no path or stream separators (':' '/' '\'), no control characters, not ending in a
// dot or blank (Windows drops those, so "." and ".." are refused too), and not a reserved
// device name, with or without an extension ("NUL", "com1.txt", "Con .log").
bool IsPlainFileName(std::wstring_view name);

// "<tempFolder>\<hasId>_update.ini": the local copy of the update INI.
std::wstring UpdateIniPath(std::wstring_view tempFolder, int hasId);

// "<tempFolder>\<fileName>": the local copy of the setup program.
std::wstring SetupFilePath(std::wstring_view tempFolder, std::wstring_view fileName);

// "\"<setupPath>\" <setupParam>" (an empty parameter leaves the trailing blank); empty when
// it does not fit a process command line.
std::optional<std::wstring> BuildSetupCommandLine(std::wstring_view setupPath,
                                                  std::wstring_view setupParam);

// The URL as it should be sent: after the scheme and host, every character outside printable
// ASCII (non-ASCII, controls, blanks) becomes its UTF-8 bytes, percent-encoded. Text that is
// already percent-encoded is left as it is; the host is left untouched.
std::wstring EncodeUrlForRequest(std::wstring_view url);

} // namespace dp
