#include "updater/setup_verification.h"

#include <algorithm>

namespace dp {

namespace {

constexpr std::uint8_t kDerSequence = 0x30;
constexpr std::uint8_t kDerInteger = 0x02;
// A DER length byte with this bit set announces a long form, which no P-256 signature needs.
constexpr std::uint8_t kDerLongForm = 0x80;
constexpr std::size_t kCoordinateBytes = 32;

std::optional<std::uint8_t> HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return static_cast<std::uint8_t>(c - L'0');
    if (c >= L'a' && c <= L'f')
        return static_cast<std::uint8_t>(c - L'a' + 10);
    if (c >= L'A' && c <= L'F')
        return static_cast<std::uint8_t>(c - L'A' + 10);
    return std::nullopt;
}

std::optional<std::uint8_t> Base64Digit(wchar_t c) {
    if (c >= L'A' && c <= L'Z')
        return static_cast<std::uint8_t>(c - L'A');
    if (c >= L'a' && c <= L'z')
        return static_cast<std::uint8_t>(c - L'a' + 26);
    if (c >= L'0' && c <= L'9')
        return static_cast<std::uint8_t>(c - L'0' + 52);
    if (c == L'+')
        return 62;
    if (c == L'/')
        return 63;
    return std::nullopt;
}

// One DER INTEGER from the front of der, taken off it: a non-negative value of at most 32
// bytes, given back left-padded to 32.
std::optional<std::array<std::uint8_t, kCoordinateBytes>>
ConsumeInteger(std::span<const std::uint8_t>& der) {
    if (der.size() < 2 || der[0] != kDerInteger || (der[1] & kDerLongForm) || der[1] == 0 ||
        der[1] > der.size() - 2)
        return std::nullopt;
    std::span<const std::uint8_t> value = der.subspan(2, der[1]);
    der = der.subspan(2 + der[1]);
    if (value[0] & 0x80)
        return std::nullopt; // negative
    while (value.size() > 1 && value[0] == 0)
        value = value.subspan(1);
    if (value.size() > kCoordinateBytes)
        return std::nullopt;
    std::array<std::uint8_t, kCoordinateBytes> padded{};
    std::copy(value.begin(), value.end(), padded.end() - static_cast<std::ptrdiff_t>(value.size()));
    return padded;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf8(std::string& out, std::wstring_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = static_cast<char16_t>(text[i]);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const char32_t next = i + 1 < text.size() ? static_cast<char16_t>(text[i + 1]) : 0;
        if (high && next >= 0xDC00 && next <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
            ++i;
        } else {
            AppendUtf8(out, unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit);
        }
    }
}

void AppendLine(std::string& out, std::string_view key, std::wstring_view value) {
    out.append(key).push_back('=');
    AppendUtf8(out, value);
    out.push_back('\n');
}

} // namespace

std::optional<Sha256Digest> ParseSha256Hex(std::wstring_view text) {
    Sha256Digest digest{};
    if (text.size() != 2 * digest.size())
        return std::nullopt;
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const auto high = HexDigit(text[2 * i]), low = HexDigit(text[2 * i + 1]);
        if (!high || !low)
            return std::nullopt;
        digest[i] = static_cast<std::uint8_t>((*high << 4) | *low);
    }
    return digest;
}

std::optional<std::vector<std::uint8_t>> DecodeBase64(std::wstring_view text) {
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::size_t padding = 0;
    while (padding < 2 && text.size() > padding && text[text.size() - 1 - padding] == L'=')
        ++padding;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3);
    std::uint32_t bits = 0;
    int bitCount = 0;
    for (wchar_t c : text.substr(0, text.size() - padding)) {
        const auto digit = Base64Digit(c);
        if (!digit)
            return std::nullopt;
        bits = ((bits << 6) | *digit) & 0xFFFFFF;
        bitCount += 6;
        if (bitCount >= 8) {
            bitCount -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> bitCount));
        }
    }
    return bytes;
}

std::optional<P256Signature> P256SignatureFromDer(std::span<const std::uint8_t> der) {
    if (der.size() < 2 || der[0] != kDerSequence || (der[1] & kDerLongForm) ||
        der[1] != der.size() - 2)
        return std::nullopt;
    std::span<const std::uint8_t> content = der.subspan(2);
    const auto r = ConsumeInteger(content);
    const auto s = r ? ConsumeInteger(content) : std::nullopt;
    if (!s || !content.empty())
        return std::nullopt;
    P256Signature signature{};
    std::copy(r->begin(), r->end(), signature.begin());
    std::copy(s->begin(), s->end(), signature.begin() + kCoordinateBytes);
    return signature;
}

std::string CanonicalOffer(const OfferText& offer) {
    std::string text = "Renewick offer 1\n";
    AppendLine(text, "product", offer.productId);
    AppendLine(text, "version", offer.version);
    AppendLine(text, "download_path", offer.downloadPath);
    AppendLine(text, "setup_param", offer.setupParam);
    AppendLine(text, "sha256", offer.sha256);
    return text;
}

bool OfferSignatureHolds(const OfferText& offer, std::wstring_view signatureBase64,
                         const P256PublicKey& key, SetupCrypto& crypto) {
    if (!ParseSha256Hex(offer.sha256))
        return false;
    const auto der = DecodeBase64(signatureBase64);
    const auto signature = der ? P256SignatureFromDer(*der) : std::nullopt;
    if (!signature)
        return false;
    const std::string canonical = CanonicalOffer(offer);
    const auto digest = crypto.HashBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(canonical.data()), canonical.size()));
    return digest && crypto.VerifyP256(key, *digest, *signature);
}

SetupCheck CheckSetupFile(HeldFile& file, std::wstring_view sha256, SetupCrypto& crypto) {
    if (sha256.empty())
        return SetupCheck::Passed;
    const std::optional<Sha256Digest> digest = crypto.HashFile(file);
    if (!digest || ParseSha256Hex(sha256) != digest)
        return SetupCheck::ChecksumMismatch;
    return SetupCheck::Passed;
}

std::wstring SetupRejectedMessage(std::wstring_view url) {
    return L"error info: sha256 check fail, setup deleted:" + std::wstring(url);
}

std::wstring OfferRejectedMessage(std::wstring_view iniUrl) {
    return L"error info: signature check fail:" + std::wstring(iniUrl);
}

} // namespace dp
