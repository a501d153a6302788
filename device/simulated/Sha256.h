#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velt::sim {

// A small incremental SHA-256, enough to fingerprint what the simulated device stored.
class Sha256 {
  public:
    Sha256();
    void Update(const std::uint8_t* data, std::size_t length);
    void Update(std::string_view text);
    // The digest; the hasher must not be updated afterwards.
    std::array<std::uint8_t, 32> Finish();

    static std::string Hex(const std::array<std::uint8_t, 32>& digest);
    static std::string HexOf(std::string_view text);

  private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_;
    std::array<std::uint8_t, 64> buffer_{};
    std::size_t buffered_ = 0;
    std::uint64_t totalBytes_ = 0;
};

}  // namespace velt::sim
