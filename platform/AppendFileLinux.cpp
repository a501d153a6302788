#include <fcntl.h>
#include <sys/file.h>
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

// Writes all of `text` at the end; the bytes written, with errno set when short.
std::size_t WriteAll(int fd, std::string_view text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            errno = written == 0 ? ENOSPC : errno;
            break;
        }
        done += static_cast<std::size_t>(written);
    }
    return done;
}

}  // namespace

std::string AppendLineDurably(const std::string& path, std::string_view line) {
    // O_APPEND: each write lands at the end of the file as it then is, whoever else appends.
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return Words(errno);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return Words(error);
    }
    // A device such as /dev/null takes lines and keeps nothing; a FIFO would hold a
    // writer for a reader that may never come.
    if (S_ISCHR(info.st_mode)) {
        const std::size_t written = WriteAll(fd, line);
        const std::string error = written == line.size() ? "" : Words(errno);
        ::close(fd);
        return error;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return "not a regular file";
    }
    // Every appender of this program holds the lock while it looks at the end and writes,
    // so that a line cut short by a full disk or a size limit can be taken back whole.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    std::string error;
    char last = '\n';
    const off_t before = ::fstat(fd, &info) == 0 ? info.st_size : -1;
    const bool cutOff = before > 0 && ::pread(fd, &last, 1, before - 1) == 1 && last != '\n';
    std::string text(cutOff ? 1 : 0, '\n');
    text.append(line);
    if (WriteAll(fd, text) != text.size()) {
        error = Words(errno);
        // Never half a line: whoever reads the record next would take it for damage.
        if (before >= 0 && ::ftruncate(fd, before) != 0) {
            error += "; a cut-off line is left at its end";
        }
    } else if (::fsync(fd) != 0) {
        error = Words(errno);
    }
    if (::close(fd) != 0 && error.empty()) {
        error = Words(errno);
    }
    return error;
}

}  // namespace velt
