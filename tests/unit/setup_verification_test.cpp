#include "updater/setup_verification.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dp {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Repeat(std::uint8_t value, std::size_t count) {
    return Bytes(count, value);
}

// SEQUENCE { INTEGER r, INTEGER s } with r and s as given (sign bytes included).
Bytes Der(const Bytes& r, const Bytes& s) {
    Bytes der = {0x30, static_cast<std::uint8_t>(4 + r.size() + s.size())};
    for (const Bytes* value : {&r, &s}) {
        der.push_back(0x02);
        der.push_back(static_cast<std::uint8_t>(value->size()));
        for (std::uint8_t byte : *value)
            der.push_back(byte);
    }
    return der;
}

Bytes Concat(const Bytes& a, const Bytes& b) {
    Bytes joined;
    joined.reserve(a.size() + b.size());
    for (const Bytes* part : {&a, &b})
        joined.insert(joined.end(), part->begin(), part->end());
    return joined;
}

struct DerRow {
    const char* name;
    Bytes der;
    std::optional<Bytes> signature; // r || s
};

TEST(SetupVerification, SignatureFromDer) {
    const Bytes r = Repeat(0x11, 32), s = Repeat(0x22, 32);
    const Bytes high = Repeat(0x81, 32);
    const DerRow rows[] = {
        {"plain", Der(r, s), Concat(r, s)},
        {"sign byte before a high bit", Der(Concat({0}, high), s), Concat(high, s)},
        {"short values are left-padded", Der({0x01}, {0x00, 0x02}),
         Concat(Concat(Repeat(0, 31), {1}), Concat(Repeat(0, 31), {2}))},
        {"negative", Der(high, s), std::nullopt},
        {"33 significant bytes", Der(Repeat(0x11, 33), s), std::nullopt},
        {"empty integer", Der({}, s), std::nullopt},
        {"one integer", Bytes{0x30, 0x03, 0x02, 0x01, 0x01}, std::nullopt},
        {"trailing byte", Concat(Der(r, s), {0}), std::nullopt},
        {"integer longer than the sequence", Bytes{0x30, 0x03, 0x02, 0x05, 0x01}, std::nullopt},
        {"long form length", Concat({0x30, 0x81, 0x06}, Der({1}, {1})), std::nullopt},
        {"empty", Bytes{}, std::nullopt},
    };
    for (const DerRow& row : rows) {
        SCOPED_TRACE(row.name);
        const auto signature = P256SignatureFromDer(row.der);
        const auto bytes =
            signature ? std::optional(Bytes(signature->begin(), signature->end())) : std::nullopt;
        EXPECT_EQ(bytes, row.signature);
    }
}

struct TextRow {
    const char* name;
    std::wstring text;
    std::optional<Bytes> bytes;
};

TEST(SetupVerification, Base64) {
    const TextRow rows[] = {
        {"three bytes", L"TWFu", Bytes{'M', 'a', 'n'}},
        {"one pad", L"TWE=", Bytes{'M', 'a'}},
        {"two pads", L"TQ==", Bytes{'M'}},
        {"both extra characters", L"+/8=", Bytes{0xFB, 0xFF}},
        {"missing pad", L"TQ=", std::nullopt},
        {"pad inside", L"T=Q=", std::nullopt},
        {"line break", L"TW\nFu", std::nullopt},
        {"url alphabet", L"-_8=", std::nullopt},
    };
    for (const TextRow& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(DecodeBase64(row.text), row.bytes);
    }
}

// The file's digest is all 0xAB; the digest of bytes is 0xAB followed by their count, so that a
// canonical form of another length hashes differently. The one valid signature is
// r = 0x11..., s = 0x22... by a key starting 0x04, of a digest starting 0xAB.
struct FakeCrypto : SetupCrypto {
    bool readable = true;
    std::string hashedBytes;
    std::optional<Sha256Digest> HashFile(HeldFile&) override {
        if (!readable)
            return std::nullopt;
        Sha256Digest digest;
        digest.fill(0xAB);
        return digest;
    }
    std::optional<Sha256Digest> HashBytes(std::span<const std::uint8_t> bytes) override {
        hashedBytes.assign(bytes.begin(), bytes.end());
        Sha256Digest digest{};
        digest[0] = 0xAB;
        digest[1] = static_cast<std::uint8_t>(bytes.size());
        return digest;
    }
    bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                    const P256Signature& signature) override {
        P256Signature expected;
        std::fill(expected.begin(), expected.begin() + 32, 0x11);
        std::fill(expected.begin() + 32, expected.end(), 0x22);
        return key[0] == 0x04 && digest[0] == 0xAB && signature == expected;
    }
};

const std::wstring kGoodSignature =
    L"MEQCIBERERERERERERERERERERERERERERERERERERERERERAiAiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiI"
    L"iIiIg==";
const std::wstring kOtherSignature =
    L"MEUCIQCBgYGBgYGBgYGBgYGBgYGBgYGBgYGBgYGBgYGBgYGBgQIgIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiIiI"
    L"iIiIiI=";

std::wstring AbDigest() {
    std::wstring digest;
    for (int i = 0; i < 32; ++i)
        digest += L"ab";
    return digest;
}

struct NoBytes : HeldFile {
    std::optional<std::size_t> Read(std::span<std::uint8_t>) override { return 0; }
};

struct CheckRow {
    const char* name;
    std::wstring sha256;
    bool readable;
    SetupCheck expected;
};

TEST(SetupVerification, CheckSetupFile) {
    const std::wstring digest = AbDigest();
    const CheckRow rows[] = {
        {"nothing to check", L"", false, SetupCheck::Passed},
        {"right sha256", digest, true, SetupCheck::Passed},
        {"right sha256 in capitals", L"AB" + digest.substr(2), true, SetupCheck::Passed},
        {"wrong sha256", std::wstring(64, L'0'), true, SetupCheck::ChecksumMismatch},
        {"malformed sha256", L"ab", true, SetupCheck::ChecksumMismatch},
        {"unreadable file", digest, false, SetupCheck::ChecksumMismatch},
    };
    for (const CheckRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeCrypto crypto;
        crypto.readable = row.readable;
        NoBytes file;
        EXPECT_EQ(CheckSetupFile(file, row.sha256, crypto), row.expected);
    }
}

// The form the vendor's signing tool writes too (package/sign_update.py): any change here
// breaks every signed offer in the field.
TEST(SetupVerification, CanonicalOfferIsFixedUtf8Lines) {
    const OfferText offer{L"A", L"2.1", L"https://example.com/s\u00e9tup.exe", L"/S /D=C:\\x",
                          AbDigest()};
    std::string hex;
    for (int i = 0; i < 32; ++i)
        hex += "ab";
    EXPECT_EQ(CanonicalOffer(offer), "Renewick offer 1\nproduct=A\nversion=2.1\n"
                                     "download_path=https://example.com/s\xC3\xA9tup.exe\n"
                                     "setup_param=/S /D=C:\\x\nsha256=" +
                                         hex + "\n");
    // A lone surrogate cannot be written as UTF-8: it is signed as U+FFFD.
    OfferText lone = offer;
    lone.version = std::wstring(1, static_cast<wchar_t>(0xD800));
    EXPECT_NE(CanonicalOffer(lone).find("version=\xEF\xBF\xBD\n"), std::string::npos);
}

struct OfferRow {
    const char* name;
    std::wstring sha256;
    std::wstring signature;
    bool expected;
};

TEST(SetupVerification, OfferSignatureHolds) {
    const OfferRow rows[] = {
        {"signed offer with sha256", AbDigest(), kGoodSignature, true},
        {"no sha256: vouches for no file", L"", kGoodSignature, false},
        {"malformed sha256", L"abc", kGoodSignature, false},
        {"no signature", AbDigest(), L"", false},
        {"not base64", AbDigest(), L"MEQC!", false},
        {"not DER", AbDigest(), L"TWFu", false},
        {"another signature", AbDigest(), kOtherSignature, false},
    };
    P256PublicKey key{};
    key[0] = 0x04;
    for (const OfferRow& row : rows) {
        SCOPED_TRACE(row.name);
        FakeCrypto crypto;
        const OfferText offer{L"A", L"2.1", L"https://example.com/setup.exe", L"/S", row.sha256};
        EXPECT_EQ(OfferSignatureHolds(offer, row.signature, key, crypto), row.expected);
        if (row.expected) {
            EXPECT_EQ(crypto.hashedBytes, CanonicalOffer(offer)) << "the canonical form is signed";
        }
    }
}

} // namespace
} // namespace dp
