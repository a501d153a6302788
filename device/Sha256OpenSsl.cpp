#include <openssl/evp.h>

#include <array>
#include <stdexcept>

#include "device/Sha256.h"

namespace velt {

std::string Sha256Hex(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("libcrypto: SHA-256 failed");
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

}  // namespace velt
