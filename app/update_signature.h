// Signed updates: with a public key built into the program, a downloaded
// updater must also carry a valid ECDSA P-256 signature (the version file's
// "sig": standard Base64 of r‖s over the SHA-256 of the file's bytes),
// checked with the system's own crypto (bcrypt.dll).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace app {

constexpr size_t kPublicKeyBytes = 64;  // the P-256 point: X, then Y
constexpr size_t kSignatureBytes = 64;  // r, then s

// This program's key, or null when the build has none (then nothing is
// checked beyond the digest). Defined per program, like the base URL.
extern const uint8_t* const kUpdatePublicKey;

// Standard Base64 with padding; nothing else (no blanks, no line ends) is
// accepted. Empty when `text` isn't such Base64.
std::optional<std::vector<uint8_t>> decodeBase64(const char* text);

// Whether `signature` (Base64 of r‖s) is a valid signature by `publicKey`
// over the SHA-256 of `data`. A missing, malformed or short signature, and
// a system without the algorithms, all verify as false.
bool signatureVerifies(const uint8_t* data, size_t size, const char* signature, const uint8_t* publicKey);

}  // namespace app
