// URLs as put on the wire: everything after the host percent-encoded as UTF-8.
#include "fuzz/fuzz_text.h"
#include "updater/download_naming.h"

namespace {

constexpr std::wstring_view kServer = L"http://h\u00f6st:8080/";

bool IsWireCharacter(wchar_t c) {
    return c > 0x20 && c < 0x7F;
}

// UTF-16 text as UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf8Of(std::wstring_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        constexpr unsigned char kLeadBits[] = {0, 0xC0, 0xE0, 0xF0};
        const int extra = c < 0x800 ? 1 : (c < 0x10000 ? 2 : 3);
        out += static_cast<char>(kLeadBits[extra] | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k)
            out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    return out;
}

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// The bytes the server receives once it undoes the escapes; "!" for a malformed escape.
std::string PercentDecoded(std::wstring_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'%') {
            out += static_cast<char>(text[i]);
            continue;
        }
        if (i + 2 >= text.size() || HexValue(text[i + 1]) < 0 || HexValue(text[i + 2]) < 0)
            return "!";
        out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        i += 2;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring text = dp::fuzz::WideText(data, size);
    const std::wstring encoded = dp::EncodeUrlForRequest(text);
    DP_FUZZ_CHECK(dp::EncodeUrlForRequest(encoded) == encoded);

    // After a server's address: the host stays, the rest goes out as printable ASCII that
    // decodes to the text's UTF-8.
    const std::wstring onServer = dp::EncodeUrlForRequest(std::wstring(kServer) + text);
    DP_FUZZ_CHECK(onServer.starts_with(kServer));
    const std::wstring_view path = std::wstring_view(onServer).substr(kServer.size());
    for (wchar_t c : path)
        DP_FUZZ_CHECK(IsWireCharacter(c));
    if (text.find(L'%') == std::wstring::npos)
        DP_FUZZ_CHECK(PercentDecoded(path) == Utf8Of(text));
    return 0;
}
