#include "platform/FileRead.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace velt {

bool FileExists(const std::string& path) {
    std::error_code ec;
    // Anything the file system can describe counts: a file, a folder, whatever its
    // attributes.
    // The program's strings are UTF-8; a narrow path would be read in the system's code page.
    const std::filesystem::path native(std::u8string(path.begin(), path.end()));
    return std::filesystem::exists(std::filesystem::symlink_status(native, ec)) && !ec;
}

bool ReadContent(
    FileRead& read, std::uint64_t limit,
    const std::function<std::optional<std::size_t>(std::uint8_t*, std::size_t)>& readSome) {
    const std::size_t most = static_cast<std::size_t>(limit) + 1;
    read.bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(read.size) + 1, most));
    std::size_t got = 0;
    for (;;) {
        if (got == read.bytes.size()) {
            if (got == most) {
                break;
            }
            read.bytes.resize(most);
        }
        const auto n = readSome(read.bytes.data() + got, read.bytes.size() - got);
        if (!n) {
            return false;
        }
        if (*n == 0) {
            break;
        }
        got += *n;
    }
    read.bytes.resize(got);
    // Only a file that grew leaves much room unused; a copy of a whole image is not made
    // for one spare byte.
    if (read.bytes.capacity() > got + 1) {
        read.bytes.shrink_to_fit();
    }
    read.size = got;
    read.status = got > limit ? FileRead::Status::TooLarge : FileRead::Status::Ok;
    if (read.status != FileRead::Status::Ok) {
        read.bytes.clear();
    }
    return true;
}

}  // namespace velt
