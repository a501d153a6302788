#include <openssl/evp.h>

#include <array>
#include <stdexcept>

#include "platform/Sha256.h"

namespace velt {

std::array<std::uint8_t, 32> Sha256Digest(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("libcrypto: SHA-256 failed");
    }
    return digest;
}

}  // namespace velt
