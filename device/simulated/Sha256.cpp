#include "device/simulated/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace velt::sim {

namespace {

void Check(int result) {
    if (result != 1) {
        throw std::runtime_error("libcrypto: SHA-256 failed");
    }
}

}  // namespace

void Sha256::FreeContext::operator()(evp_md_ctx_st* context) const {
    EVP_MD_CTX_free(context);
}

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
    if (!context_) {
        throw std::runtime_error("libcrypto: out of memory");
    }
    Check(EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr));
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::Update(std::span<const std::uint8_t> data) {
    Check(EVP_DigestUpdate(context_.get(), data.data(), data.size()));
}

std::array<std::uint8_t, 32> Sha256::Finish() {
    std::array<std::uint8_t, 32> digest{};
    unsigned int length = 0;
    Check(EVP_DigestFinal_ex(context_.get(), digest.data(), &length));
    return digest;
}

std::string Sha256::Hex(const std::array<std::uint8_t, 32>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const std::uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
    }
    return hex;
}

}  // namespace velt::sim
