#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velt {

// A whole file read in one go, or why it could not be.
struct FileRead {
    enum class Status { Ok, Missing, NotRegular, TooLarge, Denied, Error };
    Status status = Status::Error;
    std::vector<std::uint8_t> bytes;  // Ok: the content
    std::uint64_t size = 0;           // Ok, TooLarge: how large it is
    std::string error;                // Denied, Error: the system's words
};

// Reads the regular file at `path`, at most `limit` bytes, without ever blocking on it: a
// FIFO or a device in its place is refused, not waited for. One implementation per
// platform.
FileRead ReadRegularFile(const std::string& path, std::uint64_t limit);

}  // namespace velt
