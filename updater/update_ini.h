// What an update INI says: one shared version on offer, and per product the setup program's
// URL and its arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "updater/setup_verification.h"
#include <string>
#include <string_view>

namespace dp {

// Reads one value of an INI file the way the platform's profile functions do: the value, or
// defaultValue when the file, section or key is missing, cut to fit bufferChars characters
// including the terminator.
class IniReader {
public:
    virtual ~IniReader() = default;
    virtual std::wstring ReadString(std::wstring_view file, std::wstring_view section,
                                    std::wstring_view key, std::wstring_view defaultValue,
                                    std::size_t bufferChars) = 0;
};

// No update INI comes anywhere near this size; a larger answer is not one (an error page, a
// wrong URL) and is refused before anything is stored.
inline constexpr std::uint32_t kMaxUpdateIniBytes = 1024 * 1024;

// Buffer sizes (characters, terminator included) the values are read with.
inline constexpr std::size_t kVersionChars = 50;
inline constexpr std::size_t kDownloadPathChars = 1024;
inline constexpr std::size_t kSetupParamChars = 100;
// Room beyond the longest valid value, so that a longer one arrives too long rather than cut
// to something that looks valid.
inline constexpr std::size_t kSha256Chars = 128;
inline constexpr std::size_t kSignatureChars = 256;

// "version" of section "public"; "0.0" when missing.
std::wstring ReadOfferedVersion(IniReader& reader, std::wstring_view iniFile);

struct SetupSource {
    // "download_path": the setup program's URL. Read with room for one character more than a
    // URL may have (kDownloadPathChars - 1): a longer value arrives with kDownloadPathChars
    // characters and is refused rather than fetched cut short.
    std::wstring downloadPath;
    std::wstring setupParam;  // "setup_param": its arguments
    SetupIntegrity integrity; // "sha256" and "signature"
    // What the signature names as the product: the identifier, or "<identifier>/<architecture>"
    // for an offer of one architecture, so that neither can pass for the other.
    std::wstring offerName;
};

// The architecture of this program's own setup: "x64" for a 64-bit build, "x86" otherwise.
inline constexpr std::wstring_view kThisArchitecture = sizeof(void*) == 8 ? L"x64" : L"x86";

// The product's own section (named by its identifier); empty values when missing. A section
// may offer one setup per architecture: with "download_path_<architecture>" present, that offer
// ("setup_param_", "sha256_" and "signature_" with the same suffix) is taken; without it the
// plain keys, which serve every architecture (as old INIs do).
SetupSource ReadSetupSource(IniReader& reader, std::wstring_view iniFile,
                            std::wstring_view productId, std::wstring_view architecture = {});

// The platform's INI reader takes a UTF-8 byte-order mark for text of the first line, which
// hides the first section ("[public]" in practice). A copy that starts with that mark is
// stored instead as UTF-16 (little-endian) with its own mark, which the reader understands;
// bytes that are not UTF-8 become U+FFFD. Nothing for any other text: it is stored as it came.
std::optional<std::string> Utf16IniFromMarkedUtf8(std::string_view bytes);

} // namespace dp
