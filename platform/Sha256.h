#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace velt {

// The SHA-256 of `data` in lower-case hex, as sha256sum prints it, from the system's own
// crypto library (one implementation per platform): what a user compares with the digest
// published beside an image. Throws std::runtime_error when the library cannot provide it.
std::string Sha256Hex(std::span<const std::uint8_t> data);

// The digest itself; Sha256Hex spells it.
std::array<std::uint8_t, 32> Sha256Digest(std::span<const std::uint8_t> data);

}  // namespace velt
