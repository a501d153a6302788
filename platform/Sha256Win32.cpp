#include <windows.h>
// After windows.h, whose types it uses.
#include <bcrypt.h>

#include <array>
#include <stdexcept>

#include "platform/Sha256.h"

namespace velt {

std::array<std::uint8_t, 32> Sha256Digest(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 32> digest{};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    // The calls every Windows since Vista has; BCryptHash would need Windows 10. The span
    // may be empty; the data pointer is not written through.
    const bool done =
        BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
        BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0)) &&
        BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data.data()),
                                      static_cast<ULONG>(data.size()), 0)) &&
        BCRYPT_SUCCESS(BCryptFinishHash(hash, digest.data(), digest.size(), 0));
    if (hash != nullptr) {
        BCryptDestroyHash(hash);
    }
    if (algorithm != nullptr) {
        BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    if (!done) {
        throw std::runtime_error("CNG: SHA-256 failed");
    }
    return digest;
}

}  // namespace velt
