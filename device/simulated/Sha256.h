#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct evp_md_ctx_st;  // libcrypto's EVP_MD_CTX, kept out of this header

namespace velt::sim {

// An incremental SHA-256 over libcrypto, enough to fingerprint what a simulated device
// stored. Throws std::runtime_error if libcrypto cannot provide the digest.
class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    void Update(std::span<const std::uint8_t> data);
    void Update(const std::uint8_t* data, std::size_t length) { Update({data, length}); }
    // The digest; the hasher must not be updated afterwards.
    std::array<std::uint8_t, 32> Finish();

    // Lower-case hex, as sha256sum prints it.
    static std::string Hex(const std::array<std::uint8_t, 32>& digest);

  private:
    struct FreeContext {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, FreeContext> context_;
};

}  // namespace velt::sim
