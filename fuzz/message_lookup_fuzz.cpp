// A localised text as the language file gives it, and the built-in text when there is no file.
#include "fuzz/fuzz_text.h"
#include "settings/localisation.h"

namespace {

// The language file's value for every key, cut to the caller's buffer as the platform does.
class LanguageFile final : public dp::IniStore {
public:
    explicit LanguageFile(std::wstring value) : value_(std::move(value)) {}
    std::wstring ReadString(const std::wstring&, const std::wstring&, const std::wstring&,
                            const std::wstring&, std::size_t bufferChars) override {
        return value_.substr(0, bufferChars - 1);
    }
    bool WriteString(const std::wstring&, const std::wstring&, const std::wstring&,
                     const std::wstring&) override {
        return false;
    }
    bool Exists(const std::wstring&) override { return true; }

private:
    std::wstring value_;
};

void CheckText(const std::wstring& text) {
    DP_FUZZ_CHECK(text.size() < dp::kMessageBufferChars);
    DP_FUZZ_CHECK(text.find(L"\\n") == std::wstring::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    LanguageFile file(text);
    CheckText(dp::LookupMessage(file, L"C:\\Languages\\DEU\\Duskpanel.ini", L"About", L"About"));
    CheckText(dp::LookupMessage(file, L"", L"About", text));
    return 0;
}
