#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <system_error>

#include "platform/FileChunks.h"

namespace velt {

FileChunks::FileChunks(const std::string& path) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        Fail(static_cast<unsigned long>(errno));
        return;
    }
    handle_ = fd;
    // Asked of the open descriptor, so the file checked is the file read.
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        Fail(static_cast<unsigned long>(errno));
        return;
    }
    status_ = S_ISREG(info.st_mode)   ? Status::Regular
              : S_ISCHR(info.st_mode) ? Status::CharacterDevice
                                      : Status::NotRegular;
    size_ = status_ == Status::Regular ? static_cast<std::uint64_t>(info.st_size) : 0;
}

FileChunks::~FileChunks() {
    if (handle_ >= 0) {
        ::close(static_cast<int>(handle_));
    }
}

void FileChunks::Fail(unsigned long systemError) {
    const int error = static_cast<int>(systemError);
    // A path that goes on through a file ("record/x") is not missing: it could never be
    // there, and the system's words say why.
    status_ = error == ENOENT                     ? Status::Missing
              : error == EACCES || error == EPERM ? Status::Denied
                                                  : Status::Error;
    error_ = std::generic_category().message(error);
}

std::optional<std::size_t> FileChunks::ReadAt(std::uint64_t offset, std::uint8_t* buffer,
                                              std::size_t room) {
    if (status_ != Status::Regular) {
        return status_ == Status::CharacterDevice ? std::optional<std::size_t>(0) : std::nullopt;
    }
    ssize_t n;
    do {
        n = ::pread(static_cast<int>(handle_), buffer, room, static_cast<off_t>(offset));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        Fail(static_cast<unsigned long>(errno));
        return std::nullopt;
    }
    return static_cast<std::size_t>(n);
}

}  // namespace velt
