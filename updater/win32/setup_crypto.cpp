#include "updater/win32/setup_crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/win32/handles.h"
#include "framework/win32/system_files.h"

namespace dp {

namespace {

// The setup is read in blocks of this size, never whole.
constexpr DWORD kHashBlockBytes = 64 * 1024;

std::optional<P256PublicKey> g_vendorKey;

// The CNG entries the checks use, bound from "bcrypt.dll" for the life of this object.
struct BCryptLibrary {
    template <typename Fn> Fn Bind(const char* name) const {
        return BindEntry<Fn>(module.get(), name);
    }
    bool Loaded() const {
        return openAlgorithm && closeAlgorithm && getProperty && createHash && hashData &&
               finishHash && destroyHash && importKeyPair && verifySignature && destroyKey;
    }

    UniqueModule module{LoadSystemLibrary(L"bcrypt.dll")};
    decltype(&::BCryptOpenAlgorithmProvider) openAlgorithm =
        Bind<decltype(openAlgorithm)>("BCryptOpenAlgorithmProvider");
    decltype(&::BCryptCloseAlgorithmProvider) closeAlgorithm =
        Bind<decltype(closeAlgorithm)>("BCryptCloseAlgorithmProvider");
    decltype(&::BCryptGetProperty) getProperty = Bind<decltype(getProperty)>("BCryptGetProperty");
    decltype(&::BCryptCreateHash) createHash = Bind<decltype(createHash)>("BCryptCreateHash");
    decltype(&::BCryptHashData) hashData = Bind<decltype(hashData)>("BCryptHashData");
    decltype(&::BCryptFinishHash) finishHash = Bind<decltype(finishHash)>("BCryptFinishHash");
    decltype(&::BCryptDestroyHash) destroyHash = Bind<decltype(destroyHash)>("BCryptDestroyHash");
    decltype(&::BCryptImportKeyPair) importKeyPair =
        Bind<decltype(importKeyPair)>("BCryptImportKeyPair");
    decltype(&::BCryptVerifySignature) verifySignature =
        Bind<decltype(verifySignature)>("BCryptVerifySignature");
    decltype(&::BCryptDestroyKey) destroyKey = Bind<decltype(destroyKey)>("BCryptDestroyKey");
};

// A CNG handle (algorithm, hash or key) released through the bound entry that owns it.
class CngHandle {
public:
    using Release = std::function<void(void*)>;
    explicit CngHandle(Release release) : release_(std::move(release)) {}
    ~CngHandle() {
        if (handle_)
            release_(handle_);
    }
    CngHandle(const CngHandle&) = delete;
    CngHandle& operator=(const CngHandle&) = delete;
    void* get() const { return handle_; }
    void** put() { return &handle_; }

private:
    Release release_;
    void* handle_ = nullptr;
};

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// The algorithm provider's handle is released through the same library.
CngHandle::Release ProviderRelease(const BCryptLibrary& bcrypt) {
    return [&bcrypt](void* h) { bcrypt.closeAlgorithm(h, 0); };
}

bool OpenAlgorithm(const BCryptLibrary& bcrypt, const wchar_t* algorithm, CngHandle& provider) {
    if (Succeeded(bcrypt.openAlgorithm(provider.put(), algorithm, nullptr, 0)))
        return true;
    *provider.put() = nullptr; // a failed call may leave anything there
    return false;
}

// Gives the content to the hash, bcrypt.hashData for each part; false when a part fails.
using HashFeed = std::function<bool(const BCryptLibrary& bcrypt, void* hash)>;

// Reads the whole held file into the hash; false when a read fails.
bool HashContent(const BCryptLibrary& bcrypt, void* hash, HeldFile& file) {
    std::vector<UCHAR> block(kHashBlockBytes);
    for (;;) {
        const std::optional<std::size_t> read = file.Read(block);
        if (!read)
            return false;
        if (*read == 0)
            return true;
        if (!Succeeded(bcrypt.hashData(hash, block.data(), static_cast<ULONG>(*read), 0)))
            return false;
    }
}

std::optional<Sha256Digest> Sha256Of(const BCryptLibrary& bcrypt, const HashFeed& feed) {
    CngHandle algorithm(ProviderRelease(bcrypt));
    DWORD objectBytes = 0, written = 0;
    if (!OpenAlgorithm(bcrypt, BCRYPT_SHA256_ALGORITHM, algorithm) ||
        !Succeeded(bcrypt.getProperty(algorithm.get(), BCRYPT_OBJECT_LENGTH,
                                      reinterpret_cast<PUCHAR>(&objectBytes), sizeof(objectBytes),
                                      &written, 0)))
        return std::nullopt;
    // Windows Vista wants the hash object's memory from the caller.
    std::vector<UCHAR> object(objectBytes);
    CngHandle hash([&bcrypt](void* h) { bcrypt.destroyHash(h); });
    Sha256Digest digest{};
    if (!Succeeded(bcrypt.createHash(algorithm.get(), hash.put(), object.data(), objectBytes,
                                     nullptr, 0, 0)) ||
        !feed(bcrypt, hash.get()) ||
        !Succeeded(bcrypt.finishHash(hash.get(), digest.data(), digest.size(), 0)))
        return std::nullopt;
    return digest;
}

// BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
std::vector<UCHAR> PublicKeyBlob(const P256PublicKey& key) {
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    std::vector<UCHAR> blob(sizeof(header) + key.size());
    std::memcpy(blob.data(), &header, sizeof(header));
    std::memcpy(blob.data() + sizeof(header), key.data(), key.size());
    return blob;
}

} // namespace

std::optional<Sha256Digest> BCryptSetupCrypto::HashFile(HeldFile& file) {
    const BCryptLibrary bcrypt;
    if (!bcrypt.Loaded())
        return std::nullopt;
    return Sha256Of(bcrypt, [&file](const BCryptLibrary& library, void* hash) {
        return HashContent(library, hash, file);
    });
}

std::optional<Sha256Digest> BCryptSetupCrypto::HashBytes(std::span<const std::uint8_t> bytes) {
    const BCryptLibrary bcrypt;
    if (!bcrypt.Loaded() || bytes.size() > 0xFFFFFFFFu)
        return std::nullopt;
    std::vector<UCHAR> copy(bytes.begin(), bytes.end()); // BCryptHashData takes no const input
    return Sha256Of(bcrypt, [&copy](const BCryptLibrary& library, void* hash) {
        return Succeeded(library.hashData(hash, copy.data(), static_cast<ULONG>(copy.size()), 0));
    });
}

bool BCryptSetupCrypto::VerifyP256(const P256PublicKey& key, const Sha256Digest& digest,
                                   const P256Signature& signature) {
    const BCryptLibrary bcrypt;
    if (!bcrypt.Loaded())
        return false;
    CngHandle algorithm(ProviderRelease(bcrypt));
    CngHandle publicKey([&bcrypt](void* h) { bcrypt.destroyKey(h); });
    std::vector<UCHAR> blob = PublicKeyBlob(key);
    if (!OpenAlgorithm(bcrypt, BCRYPT_ECDSA_P256_ALGORITHM, algorithm) ||
        !Succeeded(bcrypt.importKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                        publicKey.put(), blob.data(),
                                        static_cast<ULONG>(blob.size()), 0)))
        return false;
    Sha256Digest hash = digest;
    P256Signature value = signature;
    return bcrypt.verifySignature(publicKey.get(), nullptr, hash.data(), hash.size(), value.data(),
                                  value.size(), 0) == 0;
}

void SetBuiltInVendorKey(const std::optional<P256PublicKey>& key) {
    g_vendorKey = key;
}

const std::optional<P256PublicKey>& BuiltInVendorKey() {
    return g_vendorKey;
}

} // namespace dp
