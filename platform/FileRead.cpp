#include "platform/FileRead.h"

#include <algorithm>

namespace velt {

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
