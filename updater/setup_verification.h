// Whether an offer may be acted on and its setup program started. A build that carries the
// vendor's public key acts only on an offer whose "signature" (ECDSA P-256 over the SHA-256 of
// the offer's canonical form, as `openssl dgst -sha256 -sign` writes it, in base64) verifies;
// the canonical form covers the version, the product's download address, setup parameters and
// the setup's SHA-256, so none of them can be changed. The setup's SHA-256 is then checked
// against "sha256", which such an offer must carry; without a key "sha256" is checked when given.
#pragma once

#include <array>
#include <cstddef>
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

// A file held open so that nobody can write, rename or delete it while the hold lasts; its
// content is read through the hold's own handle, from the start.
class HeldFile {
public:
    virtual ~HeldFile() = default;
    // The next bytes into buffer: their count, 0 at the end, nothing when the read fails.
    virtual std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) = 0;
};

// The hashing and verification the platform does.
class SetupCrypto {
public:
    virtual ~SetupCrypto() = default;
    // The SHA-256 of the held file's content; nothing when it cannot be read or hashed.
    virtual std::optional<Sha256Digest> HashFile(HeldFile& file) = 0;
    // The SHA-256 of bytes; nothing when the platform cannot hash.
    virtual std::optional<Sha256Digest> HashBytes(std::span<const std::uint8_t> bytes) = 0;
    // True only for a valid signature of digest by key.
    virtual bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                            const P256Signature& signature) = 0;
};

// What the update INI says about the setup program (empty when absent).
struct SetupIntegrity {
    std::wstring sha256;    // 64 hexadecimal digits, either case
    std::wstring signature; // base64 of the DER signature
};

// The values of one product's offer as the INI reader returned them.
struct OfferText {
    std::wstring productId; // the section, "/<architecture>" added for such an offer
    std::wstring version;   // "version" of "public"
    std::wstring downloadPath;
    std::wstring setupParam;
    std::wstring sha256;
};

// What a signature covers, in UTF-8 (a character that is not one, U+FFFD):
//   "Renewick offer 1\nproduct=<id>\nversion=<v>\ndownload_path=<url>\nsetup_param=<p>\n"
//   "sha256=<hex>\n"
// Values never hold a line break (the INI reader ends a value there), so no line can pass for
// another.
std::string CanonicalOffer(const OfferText& offer);

// True when signatureBase64 is the key's signature of the offer's canonical form and the offer
// names a well-formed "sha256" (without it the signature would vouch for no file).
bool OfferSignatureHolds(const OfferText& offer, std::wstring_view signatureBase64,
                         const P256PublicKey& key, SetupCrypto& crypto);

enum class SetupCheck {
    Passed,
    ChecksumMismatch, // "sha256" given but malformed, or the file's differs (or was unreadable)
};

// Without "sha256" the setup passes unchecked, as updates always have; a keyed build never gets
// here without one (OfferSignatureHolds).
SetupCheck CheckSetupFile(HeldFile& file, std::wstring_view sha256, SetupCrypto& crypto);

// The message the user sees when a setup fails its check and has been deleted.
std::wstring SetupRejectedMessage(std::wstring_view url);
// The message the user sees when a keyed build gets an offer whose signature does not hold.
std::wstring OfferRejectedMessage(std::wstring_view iniUrl);

// 64 hexadecimal digits; nothing for anything else.
std::optional<Sha256Digest> ParseSha256Hex(std::wstring_view text);
// Standard base64 with its "=" padding, nothing else (no line breaks); nothing when malformed.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::wstring_view text);
// A DER SEQUENCE of the two INTEGERs r and s, each at most 32 bytes without its sign byte;
// nothing for anything else (trailing bytes included).
std::optional<P256Signature> P256SignatureFromDer(std::span<const std::uint8_t> der);

} // namespace dp
