#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace velt {

struct IconRgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
};

// Entry 0 of the palette is the transparent background.
inline constexpr std::uint8_t kIconTransparent = 0;
inline constexpr int kIconColourCount = 16;

// The sixteen colours the icon is drawn in.
const std::array<IconRgb, kIconColourCount>& WindowIconPalette();

// The window icon (a chip with a down-arrow), size x size palette indices, row by row from
// the top. Drawn on a 16 x 16 grid whose cells are size / 16 pixels wide.
std::vector<std::uint8_t> DrawWindowIcon(int size);

}  // namespace velt
