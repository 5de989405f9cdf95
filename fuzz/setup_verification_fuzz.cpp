// The update INI's "sha256" (first line) and "signature" (the rest: base64, then DER), and the
// raw bytes as a DER signature of their own.
#include "fuzz/fuzz_text.h"
#include "updater/setup_verification.h"

namespace {

void CheckSha256(std::wstring_view text) {
    const auto digest = dp::ParseSha256Hex(text);
    if (!digest)
        return;
    constexpr wchar_t kDigits[] = L"0123456789abcdef";
    const auto lower = [](wchar_t c) {
        return c >= L'A' && c <= L'F' ? wchar_t(c - L'A' + L'a') : c;
    };
    for (std::size_t i = 0; i < digest->size(); ++i) {
        DP_FUZZ_CHECK(lower(text[2 * i]) == kDigits[(*digest)[i] >> 4]);
        DP_FUZZ_CHECK(lower(text[2 * i + 1]) == kDigits[(*digest)[i] & 15]);
    }
}

void CheckSignature(std::span<const std::uint8_t> der) {
    const auto signature = dp::P256SignatureFromDer(der);
    if (!signature)
        return;
    // A SEQUENCE of two INTEGERs holds at least their four header bytes and one byte each.
    DP_FUZZ_CHECK(der.size() >= 8 && der.size() == 2u + der[1]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckSignature({data, size});
    const std::wstring text = dp::fuzz::WideText(data, size);
    const auto [sha256, signature] = dp::fuzz::SplitAtLineFeed(text);
    CheckSha256(sha256);
    const auto bytes = dp::DecodeBase64(signature);
    if (!bytes)
        return 0;
    const std::size_t padding = signature.ends_with(L"==") ? 2 : signature.ends_with(L"=") ? 1 : 0;
    DP_FUZZ_CHECK(bytes->size() == signature.size() / 4 * 3 - padding);
    CheckSignature(*bytes);
    return 0;
}
