#include "tools/velt-usb-gadget/Sysfs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velt::vm {

namespace {
bool Fail(const std::string& path, int error, std::string* message) {
    if (message) {
        *message = path + ": " + std::strerror(error);
    }
    return false;
}
}  // namespace

bool WriteAttribute(const std::string& path, const std::string& value, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return Fail(path, errno, error);
    }
    // configfs and sysfs take one write per value; an empty value still needs one
    // (that is how a gadget is unbound), so send a newline in that case.
    const std::string text = value.empty() ? std::string("\n") : value;
    const ssize_t written = ::write(fd, text.data(), text.size());
    const int writeError = errno;
    ::close(fd);
    if (written != static_cast<ssize_t>(text.size())) {
        return Fail(path, written < 0 ? writeError : EIO, error);
    }
    return true;
}

bool ReadAttribute(const std::string& path, std::string& value, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Fail(path, errno, error);
    }
    value.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            const int readError = errno;
            ::close(fd);
            return Fail(path, readError, error);
        }
        if (got == 0) {
            break;
        }
        value.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) {
        value.pop_back();
    }
    return true;
}

bool MakeDirectory(const std::string& path, std::string* error) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) {
        return true;
    }
    return Fail(path, errno, error);
}

bool RemovePath(const std::string& path, bool directory, std::string* error) {
    const int result = directory ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
    if (result == 0 || errno == ENOENT) {
        return true;
    }
    return Fail(path, errno, error);
}

std::string Hex16(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value & 0xffffu);
    return text;
}

}  // namespace velt::vm
