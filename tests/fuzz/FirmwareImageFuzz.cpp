#include <unistd.h>
#include <algorithm>
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
// file's bytes, 40 at a time, with a remainder under 40 left over. An input that starts
// with 'L' is repeated to a size around that limit (1,310,640 to 1,310,719 bytes), which
// the fuzzer would not reach by growing inputs.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t inputSize) {
    static const ImageFile file;
    std::vector<std::uint8_t> tiled;
    if (inputSize > 0 && input[0] == 'L') {
        tiled.resize(1'310'640 + inputSize % 80);
        for (std::size_t i = 0; i < tiled.size(); ++i) {
            tiled[i] = input[i % inputSize];
        }
    }
    const std::uint8_t* data = tiled.empty() ? input : tiled.data();
    const std::size_t size = tiled.empty() ? inputSize : tiled.size();
    std::ofstream(file.path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    const velt::ImageLoad load = velt::LoadFirmwareImage(file.path.string(), "fw.bin");
    const auto& image = load.image;
    if (image.has_value() != (size >= 40 && size <= 1'310'679) ||
        load.message.empty() != image.has_value() ||
        (image &&
         (image->wholeRecords() * 40 + image->remainder() != size || image->remainder() >= 40))) {
        std::abort();
    }
    for (std::size_t i = 0; image && i < image->wholeRecords(); ++i) {
        const auto record = image->Record(i);
        if (record.size() != 40 || !std::equal(record.begin(), record.end(), data + 40 * i)) {
            std::abort();
        }
    }
    return 0;
}
