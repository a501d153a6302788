#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <system_error>

#include "platform/AppendFile.h"

namespace velt {

namespace {

std::string Words(int error) {
    return std::generic_category().message(error);
}

}  // namespace

std::string AppendLineDurably(const std::string& path, std::string_view line) {
    // O_APPEND: each write lands at the end of the file as it then is, whoever else appends.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Words(errno);
    }
    struct stat info {};
    char last = '\n';
    const bool cutOff = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 &&
                        ::pread(fd, &last, 1, info.st_size - 1) == 1 && last != '\n';
    std::string text(cutOff ? 1 : 0, '\n');
    text.append(line);
    // One write: a regular file takes it whole, or the error says why not.
    ssize_t written;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    std::string error;
    if (written < 0) {
        error = Words(errno);
    } else if (static_cast<std::size_t>(written) != text.size()) {
        error = Words(ENOSPC);
    } else if (::fsync(fd) != 0) {
        error = Words(errno);
    }
    if (::close(fd) != 0 && error.empty()) {
        error = Words(errno);
    }
    return error;
}

}  // namespace velt
