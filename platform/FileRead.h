#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace velt {

// True when the platform can tell anything about the path: a file, a folder, anything.
bool FileExists(const std::string& path);

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

// Reads the content into read.bytes with `readSome(buffer, room)` (the bytes read, 0 at the
// end, nullopt on an error) until the end or one byte past `limit`, which tells a file that
// grew past it. Room is made for read.size, the size taken before, and grows only for a file
// that grew meanwhile. Sets the status Ok or TooLarge; false on an error. Shared by the
// implementations.
bool ReadContent(
    FileRead& read, std::uint64_t limit,
    const std::function<std::optional<std::size_t>(std::uint8_t*, std::size_t)>& readSome);

}  // namespace velt
