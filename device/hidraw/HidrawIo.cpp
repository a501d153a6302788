#include "device/hidraw/HidrawIo.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <cerrno>

namespace velt::hidraw {

int SystemHidrawIo::Open(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? -errno : fd;
}

int SystemHidrawIo::LockExclusive(int fd) {
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : 0;
}

int SystemHidrawIo::Close(int fd) {
    // No retry on EINTR: Linux releases the descriptor even then (so it counts as
    // closed), and a second close could hit a descriptor another thread just opened.
    if (::close(fd) < 0 && errno != EINTR) {
        return -errno;
    }
    return 0;
}

int SystemHidrawIo::Ioctl(int fd, unsigned long request, void* arg) {
    int result;
    do {
        result = ::ioctl(fd, request, arg);
    } while (result < 0 && errno == EINTR);
    return result < 0 ? -errno : result;
}

}  // namespace velt::hidraw
