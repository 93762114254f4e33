#include "app/update_signature.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstring>

namespace app {

namespace {

constexpr size_t kSha256Bytes = 32;
constexpr size_t kCoordinateBytes = 32;
constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// bcrypt.dll is loaded only when a signature is checked: most runs never
// need it, and importing it would cost every start its initialisation.
struct CngCalls {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithm;
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithm;
    decltype(&BCryptCreateHash) createHash;
    decltype(&BCryptHashData) hashData;
    decltype(&BCryptFinishHash) finishHash;
    decltype(&BCryptDestroyHash) destroyHash;
    decltype(&BCryptImportKeyPair) importKey;
    decltype(&BCryptDestroyKey) destroyKey;
    decltype(&BCryptVerifySignature) verify;
};

template <typename F>
bool resolve(HMODULE module, const char* name, F& slot) {
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    return slot != nullptr;
}

// The calls, or null when the system lacks one. Resolved once; the module
// stays loaded for the rest of the process.
const CngCalls* cngCalls() {
    static const CngCalls* calls = [] () -> const CngCalls* {
        static CngCalls table;
        HMODULE module = LoadLibraryA("bcrypt.dll");
        if (!module) return nullptr;
        bool all = resolve(module, "BCryptOpenAlgorithmProvider", table.openAlgorithm) &&
                   resolve(module, "BCryptCloseAlgorithmProvider", table.closeAlgorithm) &&
                   resolve(module, "BCryptCreateHash", table.createHash) &&
                   resolve(module, "BCryptHashData", table.hashData) &&
                   resolve(module, "BCryptFinishHash", table.finishHash) &&
                   resolve(module, "BCryptDestroyHash", table.destroyHash) &&
                   resolve(module, "BCryptImportKeyPair", table.importKey) &&
                   resolve(module, "BCryptDestroyKey", table.destroyKey) &&
                   resolve(module, "BCryptVerifySignature", table.verify);
        return all ? &table : nullptr;
    }();
    return calls;
}

// One algorithm provider, closed when it goes.
class Algorithm {
public:
    Algorithm(const CngCalls& cng, const wchar_t* name) : cng_(cng) {
        if (cng_.openAlgorithm(&handle_, name, nullptr, 0) != 0) handle_ = nullptr;
    }
    ~Algorithm() {
        if (handle_) cng_.closeAlgorithm(handle_, 0);
    }
    Algorithm(const Algorithm&) = delete;
    Algorithm& operator=(const Algorithm&) = delete;
    BCRYPT_ALG_HANDLE get() const { return handle_; }

private:
    const CngCalls& cng_;
    BCRYPT_ALG_HANDLE handle_ = nullptr;
};

bool sha256(const CngCalls& cng, const uint8_t* data, size_t size, uint8_t (&digest)[kSha256Bytes]) {
    Algorithm algorithm(cng, BCRYPT_SHA256_ALGORITHM);
    BCRYPT_HASH_HANDLE hash = nullptr;
    if (!algorithm.get() || cng.createHash(algorithm.get(), &hash, nullptr, 0, nullptr, 0, 0) != 0) return false;
    bool ok = true;
    // The file may be larger than one call's 32-bit count.
    for (size_t done = 0; ok && done < size;) {
        const ULONG part = static_cast<ULONG>(std::min<size_t>(size - done, 1u << 30));
        ok = cng.hashData(hash, const_cast<uint8_t*>(data + done), part, 0) == 0;
        done += part;
    }
    ok = ok && cng.finishHash(hash, digest, kSha256Bytes, 0) == 0;
    cng.destroyHash(hash);
    return ok;
}

bool verifyDigest(const CngCalls& cng, const uint8_t (&digest)[kSha256Bytes], const std::vector<uint8_t>& signature,
                  const uint8_t* publicKey) {
    Algorithm algorithm(cng, BCRYPT_ECDSA_P256_ALGORITHM);
    if (!algorithm.get()) return false;
    uint8_t blob[sizeof(BCRYPT_ECCKEY_BLOB) + kPublicKeyBytes];
    const BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinateBytes};
    std::memcpy(blob, &header, sizeof header);
    std::memcpy(blob + sizeof header, publicKey, kPublicKeyBytes);
    BCRYPT_KEY_HANDLE key = nullptr;
    if (cng.importKey(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &key, blob, sizeof blob, 0) != 0) return false;
    const NTSTATUS status = cng.verify(key, nullptr, const_cast<uint8_t*>(digest), kSha256Bytes,
                                       const_cast<uint8_t*>(signature.data()), static_cast<ULONG>(signature.size()), 0);
    cng.destroyKey(key);
    return status == 0;
}

int base64Value(char c) {
    const char* at = c ? std::strchr(kBase64Alphabet, c) : nullptr;
    return at ? static_cast<int>(at - kBase64Alphabet) : -1;
}

}  // namespace

std::optional<std::vector<uint8_t>> decodeBase64(const char* text) {
    const size_t length = text ? std::strlen(text) : 0;
    if (length % 4 != 0) return std::nullopt;
    const size_t padding = length == 0 ? 0 : (text[length - 1] == '=') + (length > 1 && text[length - 2] == '=');
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    int pending = 0;
    for (size_t i = 0; i < length - padding; ++i) {
        const int value = base64Value(text[i]);
        if (value < 0) return std::nullopt;
        bits = (bits << 6) | static_cast<uint32_t>(value);
        pending += 6;
        if (pending >= 8) {
            pending -= 8;
            bytes.push_back(static_cast<uint8_t>(bits >> pending));
        }
    }
    // What the padding leaves over must be zero bits: one text, one value.
    if (bits & ((1u << pending) - 1)) return std::nullopt;
    return bytes;
}

bool signatureVerifies(const uint8_t* data, size_t size, const char* signature, const uint8_t* publicKey) {
    const std::optional<std::vector<uint8_t>> raw = decodeBase64(signature);
    if (!raw || raw->size() != kSignatureBytes || !publicKey) return false;
    const CngCalls* cng = cngCalls();
    uint8_t digest[kSha256Bytes];
    return cng && sha256(*cng, data, size, digest) && verifyDigest(*cng, digest, *raw, publicKey);
}

}  // namespace app
