// Writes the window icon as a Windows icon file for the programs' resources:
//   make-ico OUTPUT.ico
// Runs on the build machine. Each image is a 32-bit DIB with an AND mask (the mask for
// programs that ignore the alpha channel), so no PNG encoder is needed.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "app/WindowIcon.h"

namespace {

constexpr int kSizes[] = {16, 32, 48, 256};

class Bytes {
  public:
    void U8(std::uint8_t value) { data.push_back(value); }
    void U16(std::uint16_t value) {
        U8(value & 0xFF);
        U8(value >> 8);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    std::vector<std::uint8_t> data;
};

// BITMAPINFOHEADER, colour rows, then the AND mask; both bottom-up, as DIBs are stored.
std::vector<std::uint8_t> IconImage(int size) {
    const std::vector<std::uint8_t> pixels = velt::DrawWindowIcon(size);
    const auto& palette = velt::WindowIconPalette();
    Bytes image;
    image.U32(40);
    image.U32(size);
    image.U32(size * 2);  // the colour rows and the mask's
    image.U16(1);
    image.U16(32);
    for (int i = 0; i < 6; ++i) {
        image.U32(0);
    }
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const std::uint8_t index = pixels[static_cast<std::size_t>(y) * size + x];
            const velt::IconRgb colour = palette[index];
            image.U8(colour.blue);
            image.U8(colour.green);
            image.U8(colour.red);
            image.U8(index == velt::kIconTransparent ? 0 : 255);
        }
    }
    const int maskRowBytes = (size + 31) / 32 * 4;
    for (int y = size - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(maskRowBytes, 0);
        for (int x = 0; x < size; ++x) {
            if (pixels[static_cast<std::size_t>(y) * size + x] == velt::kIconTransparent) {
                row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        image.data.insert(image.data.end(), row.begin(), row.end());
    }
    return image.data;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ico\n", argv[0]);
        return 2;
    }
    constexpr int count = sizeof kSizes / sizeof kSizes[0];
    Bytes file;
    file.U16(0);
    file.U16(1);  // an icon, not a cursor
    file.U16(count);
    std::vector<std::vector<std::uint8_t>> images;
    std::uint32_t offset = 6 + 16 * count;
    for (int size : kSizes) {
        images.push_back(IconImage(size));
        file.U8(size >= 256 ? 0 : size);  // 0 stands for 256
        file.U8(size >= 256 ? 0 : size);
        file.U8(0);
        file.U8(0);
        file.U16(1);
        file.U16(32);
        file.U32(static_cast<std::uint32_t>(images.back().size()));
        file.U32(offset);
        offset += static_cast<std::uint32_t>(images.back().size());
    }
    for (const auto& image : images) {
        file.data.insert(file.data.end(), image.begin(), image.end());
    }
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data.data()),
              static_cast<std::streamsize>(file.data.size()));
    if (!out.flush()) {
        std::fprintf(stderr, "make-ico: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
