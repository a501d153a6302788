#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <system_error>

#include "platform/FileRead.h"

namespace velt {

namespace {

FileRead Failed(int error) {
    FileRead read;
    // A path that goes on through a file ("image.bin/x") is not missing: it could never be
    // there, and the system's words say why.
    read.status = error == ENOENT                     ? FileRead::Status::Missing
                  : error == EACCES || error == EPERM ? FileRead::Status::Denied
                                                      : FileRead::Status::Error;
    read.error = std::generic_category().message(error);
    return read;
}

// Closes the descriptor on every way out.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

}  // namespace

FileRead ReadRegularFile(const std::string& path, std::uint64_t limit) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0) {
        return Failed(errno);
    }
    // Asked of the open descriptor, so the file checked is the file read.
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        return Failed(errno);
    }
    FileRead read;
    read.size = static_cast<std::uint64_t>(info.st_size);
    if (!S_ISREG(info.st_mode)) {
        read.status = FileRead::Status::NotRegular;
        return read;
    }
    if (read.size > limit) {
        read.status = FileRead::Status::TooLarge;
        return read;
    }
    int error = 0;
    const bool readOk = ReadContent(read, limit, [&](std::uint8_t* buffer, std::size_t room) {
        ssize_t n;
        do {
            n = ::read(file.fd, buffer, room);
        } while (n < 0 && errno == EINTR);
        error = errno;
        return n < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(n));
    });
    if (!readOk) {
        return Failed(error);
    }
    return read;  // moved, not copied: it may hold a whole image
}

}  // namespace velt
