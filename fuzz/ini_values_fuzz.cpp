// The settings files' value rules: integers, line breaks, path splitting, and a profile whose
// store hands back more than it was asked for.
#include "fuzz/fuzz_text.h"
#include "settings/ini_profile.h"
#include "settings/ini_text.h"

#include <cerrno>
#include <cwchar>
#include <limits>

namespace {

// Answers every read with the same text, however long: the profile must cut it itself.
class OverlongStore final : public dp::IniStore {
public:
    explicit OverlongStore(std::wstring value) : value_(std::move(value)) {}
    std::wstring ReadString(const std::wstring&, const std::wstring&, const std::wstring&,
                            const std::wstring&, std::size_t) override {
        return value_;
    }
    bool WriteString(const std::wstring&, const std::wstring&, const std::wstring&,
                     const std::wstring&) override {
        return true;
    }
    bool Exists(const std::wstring&) override { return true; }

private:
    std::wstring value_;
};

void CheckLeadingInt(const std::wstring& text) {
    const std::optional<std::int32_t> value = dp::ParseLeadingInt(text);
    if (value)
        DP_FUZZ_CHECK(dp::ParseLeadingInt(dp::FormatInt(*value)) == value);
    if (!dp::fuzz::IsAscii(text))
        return;
    // Where the C library's reading fits an int, both must agree; elsewhere there is no value.
    errno = 0;
    const long long reference = std::wcstoll(text.c_str(), nullptr, 10);
    const bool fits = errno == 0 && reference >= std::numeric_limits<std::int32_t>::min() &&
                      reference <= std::numeric_limits<std::int32_t>::max();
    DP_FUZZ_CHECK(fits ? value == reference : !value);
}

void CheckSplitPath(const std::wstring& path) {
    const dp::SplitPath parts = dp::SplitFilePath(path);
    DP_FUZZ_CHECK(parts.drive + parts.folder + parts.baseName + parts.extension == path);
    DP_FUZZ_CHECK(parts.drive.empty() || (parts.drive.size() == 2 && parts.drive[1] == L':'));
    DP_FUZZ_CHECK(parts.folder.empty() || parts.folder.back() == L'\\' ||
                  parts.folder.back() == L'/');
    const std::wstring name = parts.baseName + parts.extension;
    DP_FUZZ_CHECK(name.find_first_of(L"\\/") == std::wstring::npos);
    DP_FUZZ_CHECK(parts.extension.empty() || (parts.extension[0] == L'.' &&
                                              parts.extension.find(L'.', 1) == std::wstring::npos));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    CheckLeadingInt(text);
    CheckSplitPath(text);

    const std::wstring expanded = dp::ExpandLineBreaks(text);
    DP_FUZZ_CHECK(expanded.size() <= text.size());
    DP_FUZZ_CHECK(expanded.find(L"\\n") == std::wstring::npos);

    OverlongStore store(text);
    dp::IniProfile profile(store, {L"C:\\Program Files\\Duskpanel\\Duskpanel.scr", L"C:\\", L"x"},
                           true);
    profile.SetFile(std::wstring(dp::fuzz::SplitAtLineFeed(text).first));
    DP_FUZZ_CHECK(profile.GetString(L"AC").size() < dp::IniProfile::kValueBufferChars);
    const std::wstring cut = text.substr(0, dp::IniProfile::kValueBufferChars - 1);
    DP_FUZZ_CHECK(profile.GetInt(L"AC", 0) == dp::ParseLeadingInt(cut).value_or(0));
    return 0;
}
