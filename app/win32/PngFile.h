#pragma once

#include <cstdint>
#include <string>

namespace velt {

// Writes 24-bit pixels, blue-green-red, top row first, `stride` bytes a row, to a PNG file
// through the system's imaging component. False when it cannot.
bool WritePng(const std::string& path, int width, int height, const std::uint8_t* pixels,
              unsigned stride);

}  // namespace velt
