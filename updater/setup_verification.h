// Whether a downloaded setup program may be started: its SHA-256 against the update INI's
// "sha256", and, in a build that carries the vendor's public key, the INI's "signature" over
// that SHA-256 (ECDSA P-256, as `openssl dgst -sha256 -sign` writes it, in base64).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dp {

using Sha256Digest = std::array<std::uint8_t, 32>;
// The public point X || Y, each 32 bytes big-endian.
using P256PublicKey = std::array<std::uint8_t, 64>;
// The signature r || s, each 32 bytes big-endian.
using P256Signature = std::array<std::uint8_t, 64>;

// The hashing and verification the platform does.
class SetupCrypto {
public:
    virtual ~SetupCrypto() = default;
    // The SHA-256 of the file's content; nothing when it cannot be read or hashed.
    virtual std::optional<Sha256Digest> HashFile(std::wstring_view path) = 0;
    // True only for a valid signature of digest by key.
    virtual bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                            const P256Signature& signature) = 0;
};

// What the update INI says about the setup program (empty when absent).
struct SetupIntegrity {
    std::wstring sha256;    // 64 hexadecimal digits, either case
    std::wstring signature; // base64 of the DER signature
};

enum class SetupCheck {
    Passed,
    ChecksumMismatch, // "sha256" given but malformed, or the file's differs (or was unreadable)
    SignatureInvalid, // the build has a key and "signature" is missing, malformed or wrong
};

// Without "sha256" and without a key the setup passes unchecked, as updates always have.
SetupCheck CheckSetupFile(std::wstring_view path, const SetupIntegrity& integrity,
                          const std::optional<P256PublicKey>& vendorKey, SetupCrypto& crypto);

// The message the user sees when a setup fails its check and has been deleted.
std::wstring SetupRejectedMessage(SetupCheck check, std::wstring_view url);

// 64 hexadecimal digits; nothing for anything else.
std::optional<Sha256Digest> ParseSha256Hex(std::wstring_view text);
// Standard base64 with its "=" padding, nothing else (no line breaks); nothing when malformed.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::wstring_view text);
// A DER SEQUENCE of the two INTEGERs r and s, each at most 32 bytes without its sign byte;
// nothing for anything else (trailing bytes included).
std::optional<P256Signature> P256SignatureFromDer(std::span<const std::uint8_t> der);

} // namespace dp
