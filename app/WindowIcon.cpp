#include "app/WindowIcon.h"

#include <algorithm>

namespace velt {

namespace {

enum IconColour : std::uint8_t {
    kBlack = 1,
    kDarkGrey = 2,
    kSilver = 3,
    kWhite = 4,
    kGreen = 7,
    kLime = 8,
};

}  // namespace

const std::array<IconRgb, kIconColourCount>& WindowIconPalette() {
    static constexpr std::array<IconRgb, kIconColourCount> palette{{
        {0, 0, 0},
        {0, 0, 0},
        {128, 128, 128},
        {192, 192, 192},
        {255, 255, 255},
        {0, 0, 128},
        {0, 0, 255},
        {0, 128, 0},
        {0, 255, 0},
        {0, 128, 128},
        {0, 255, 255},
        {128, 0, 0},
        {255, 0, 0},
        {128, 128, 0},
        {255, 255, 0},
        {128, 0, 128},
    }};
    return palette;
}

std::vector<std::uint8_t> DrawWindowIcon(int size) {
    size = std::max(size, 0);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size) * size, kIconTransparent);
    const int unit = std::max(1, size / 16);
    auto box = [&](int x, int y, int w, int h, std::uint8_t colour) {
        for (int py = y * unit; py < (y + h) * unit && py < size; ++py) {
            for (int px = x * unit; px < (x + w) * unit && px < size; ++px) {
                pixels[static_cast<std::size_t>(py) * size + px] = colour;
            }
        }
    };
    // The down-arrow: shaft, then a narrowing head.
    box(7, 0, 2, 4, kGreen);
    box(4, 4, 8, 1, kGreen);
    box(5, 5, 6, 1, kLime);
    box(6, 6, 4, 1, kLime);
    box(7, 7, 2, 1, kLime);
    // The chip: outlined body with a notch, three pins on each side.
    box(3, 8, 10, 7, kBlack);
    box(4, 9, 8, 5, kDarkGrey);
    box(4, 9, 1, 1, kWhite);
    for (int y : {9, 11, 13}) {
        box(1, y, 2, 1, kSilver);
        box(13, y, 2, 1, kSilver);
    }
    return pixels;
}

}  // namespace velt
