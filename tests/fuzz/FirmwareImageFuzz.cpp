#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include "update/FirmwareImage.h"

namespace fs = std::filesystem;

// One file per process, removed at exit; in memory where there is a tmpfs, since a disk
// flushes the rewritten file at every close.
struct ImageFile {
    fs::path path = (fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path()) /
                    ("velt-fuzz-image-" + std::to_string(getpid()));
    ~ImageFile() { fs::remove(path); }
};

// An image is taken iff it holds 40 to 1,310,679 bytes, and then its records are the
// file's bytes, 40 at a time, with a remainder under 40 left over.
static bool LoadsAsDocumented(const std::uint8_t* data, std::size_t size) {
    static const ImageFile file;
    std::ofstream(file.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const velt::ImageLoad load = velt::LoadFirmwareImage(file.path.string(), "fw.bin");
    const auto& image = load.image;
    if (image.has_value() != (size >= 40 && size <= 1'310'679) ||
        load.message.empty() != image.has_value() ||
        (image &&
         (image->wholeRecords() * 40 + image->remainder() != size || image->remainder() >= 40))) {
        return false;
    }
    for (std::size_t i = 0; image && i < image->wholeRecords(); ++i) {
        const auto record = image->Record(i);
        if (record.size() != 40 || !std::equal(record.begin(), record.end(), data + 40 * i)) {
            return false;
        }
    }
    return true;
}

// The sizes on either side of the limit, once at start-up: growing inputs never reaches
// them, and a megabyte written and read for every input would leave the search a few
// hundred inputs a second.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::vector<std::uint8_t> bytes(1'310'719);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 131 % 251);  // no two records alike nearby
    }
    for (const std::size_t size : {1'310'640, 1'310'679, 1'310'680, 1'310'719}) {
        if (!LoadsAsDocumented(bytes.data(), size)) {
            std::fprintf(stderr, "an image of %zu bytes is not loaded as documented\n", size);
            std::abort();
        }
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!LoadsAsDocumented(data, size)) {
        std::abort();
    }
    return 0;
}
