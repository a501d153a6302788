#pragma once

#include <string>

namespace velt::hidraw {

// Private to the hidraw backend and its tests; the rest of the program sees HidBackend.
// The system calls the hidraw backend makes on device nodes, behind an interface so
// that tests can stand a fake in for the kernel. Every call returns a non-negative
// value on success and the negated errno on failure (never -1 with errno).
class HidrawIo {
  public:
    virtual ~HidrawIo() = default;

    // open(path, O_RDWR | O_CLOEXEC): the new descriptor, or -errno.
    virtual int Open(const std::string& path) = 0;
    // flock(fd, LOCK_EX | LOCK_NB): 0, or -errno (-EWOULDBLOCK when another open file
    // holds the lock).
    virtual int LockExclusive(int fd) = 0;
    // close(fd): 0, or -errno.
    virtual int Close(int fd) = 0;
    // ioctl(fd, request, arg): the ioctl's non-negative result, or -errno.
    virtual int Ioctl(int fd, unsigned long request, void* arg) = 0;
};

// The real system calls. EINTR is retried.
class SystemHidrawIo final : public HidrawIo {
  public:
    int Open(const std::string& path) override;
    int LockExclusive(int fd) override;
    int Close(int fd) override;
    int Ioctl(int fd, unsigned long request, void* arg) override;
};

}  // namespace velt::hidraw
