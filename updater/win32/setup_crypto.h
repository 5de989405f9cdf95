// SHA-256 and ECDSA P-256 through CNG ("bcrypt.dll", bound at run time so that Renewick still
// starts where it is missing; a setup that must be checked is then refused), and the vendor key
// the program was built with.
#pragma once

#include <optional>

#include "updater/setup_verification.h"

namespace dp {

class BCryptSetupCrypto final : public SetupCrypto {
public:
    std::optional<Sha256Digest> HashFile(HeldFile& file) override;
    std::optional<Sha256Digest> HashBytes(std::span<const std::uint8_t> bytes) override;
    bool VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                    const P256Signature& signature) override;
};

// The vendor's public key built into this program (none by default). The program's entry sets
// it once, before any thread starts; the update worker reads it.
void SetBuiltInVendorKey(const std::optional<P256PublicKey>& key);
const std::optional<P256PublicKey>& BuiltInVendorKey();

} // namespace dp
