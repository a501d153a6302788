#include <bcrypt.h>
#include <windows.h>

#include <array>
#include <stdexcept>

#include "device/simulated/Sha256.h"

namespace velt::sim {

std::string Sha256Hex(std::span<const std::uint8_t> data) {
    std::array<std::uint8_t, 32> digest{};
    // The span may be empty; BCryptHash takes a non-const pointer it does not write through.
    const NTSTATUS status =
        BCryptHash(BCRYPT_SHA256_ALG_HANDLE, nullptr, 0, const_cast<PUCHAR>(data.data()),
                   static_cast<ULONG>(data.size()), digest.data(), digest.size());
    if (!BCRYPT_SUCCESS(status)) {
        throw std::runtime_error("CNG: SHA-256 failed");
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

}  // namespace velt::sim
