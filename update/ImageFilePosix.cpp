#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <system_error>

#include "update/ImageFile.h"

namespace velt {

namespace {

FileRead Failed(int error) {
    FileRead read;
    read.status = error == ENOENT || error == ENOTDIR ? FileRead::Status::Missing
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
    // One byte more than allowed tells a file that grew since fstat.
    read.bytes.resize(static_cast<std::size_t>(limit) + 1);
    std::size_t got = 0;
    while (got < read.bytes.size()) {
        const ssize_t n = ::read(file.fd, read.bytes.data() + got, read.bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return Failed(errno);
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    read.bytes.resize(got);
    read.size = got;
    read.status = got > limit ? FileRead::Status::TooLarge : FileRead::Status::Ok;
    if (read.status != FileRead::Status::Ok) {
        read.bytes.clear();
    }
    return read;
}

}  // namespace velt
