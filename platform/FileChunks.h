#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace velt {

// A file held open to be read piece by piece from any offset, so that a file of any size
// is read in bounded memory. Opening never blocks: a FIFO is refused, not waited for, and a
// character device (/dev/null, NUL) is opened but never read, so that /dev/zero or a
// terminal cannot hold the reader for ever. One implementation per platform.
class FileChunks {
  public:
    enum class Status { Regular, CharacterDevice, Missing, NotRegular, Denied, Error };

    explicit FileChunks(const std::string& path);
    ~FileChunks();
    FileChunks(const FileChunks&) = delete;
    FileChunks& operator=(const FileChunks&) = delete;

    Status status() const { return status_; }
    // Missing, Denied, Error: the system's words.
    const std::string& error() const { return error_; }
    // Regular: its size when it was opened; it may grow while it is read.
    std::uint64_t size() const { return size_; }
    // Reads at most `room` bytes at `offset` into `buffer`: how many, 0 at the end. nullopt
    // on an error, with the status Error and the system's words.
    std::optional<std::size_t> ReadAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t room);

  private:
    void Fail(unsigned long systemError);

    std::intptr_t handle_ = -1;  // a descriptor, or a HANDLE
    Status status_ = Status::Error;
    std::string error_;
    std::uint64_t size_ = 0;
};

}  // namespace velt
