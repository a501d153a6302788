#pragma once

// A stand-in for the kernel's hidraw driver: device nodes by path, with the ioctls the
// backend makes decoded the way the kernel decodes them.

#include <linux/hidraw.h>
#include <linux/input.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HidrawIo.h"

namespace velt::hidraw::testing {

struct FakeNode {
    int openErrno = 0;  // non-zero: open() fails with it
    int lockErrno = 0;  // non-zero: flock() fails with it, whoever holds the lock
    std::uint32_t bustype = BUS_USB;
    std::int16_t vendor = 0x1209;
    std::int16_t product = 0x2442;
    std::vector<std::uint8_t> descriptor;
    int descriptorSizeErrno = 0;  // non-zero: HIDIOCGRDESCSIZE fails with it
    int descriptorErrno = 0;      // non-zero: HIDIOCGRDESC fails with it
    int featureErrno = 0;         // non-zero: HIDIOCSFEATURE fails with it
    bool gone = false;            // unplugged: every ioctl fails with ENODEV

    std::vector<std::vector<std::uint8_t>> featureReports;  // what HIDIOCSFEATURE sent
    std::vector<unsigned long> requests;                    // every ioctl request, in order
    int lockHolder = -1;                                    // fd holding the flock
};

class FakeHidrawIo final : public HidrawIo {
  public:
    // Adds (or returns) the node at `path`.
    FakeNode& node(const std::string& path) {
        auto& slot = nodes_[path];
        if (!slot) {
            slot = std::make_shared<FakeNode>();
        }
        return *slot;
    }

    int Open(const std::string& path) override {
        ++openCalls;
        const auto it = nodes_.find(path);
        if (it == nodes_.end()) {
            return -ENOENT;
        }
        if (it->second->openErrno != 0) {
            return -it->second->openErrno;
        }
        const int fd = nextFd_++;
        open_[fd] = it->second;
        return fd;
    }

    int LockExclusive(int fd) override {
        const auto it = open_.find(fd);
        if (it == open_.end()) {
            return -EBADF;
        }
        FakeNode& n = *it->second;
        if (n.lockErrno != 0) {
            return -n.lockErrno;
        }
        if (n.lockHolder != -1 && n.lockHolder != fd) {
            return -EWOULDBLOCK;
        }
        n.lockHolder = fd;
        return 0;
    }

    int Close(int fd) override {
        closed->push_back(fd);
        const auto it = open_.find(fd);
        if (it == open_.end()) {
            return -EBADF;
        }
        if (it->second->lockHolder == fd) {
            it->second->lockHolder = -1;  // closing releases the flock
        }
        open_.erase(it);
        return 0;
    }

    int Ioctl(int fd, unsigned long request, void* arg) override {
        const auto it = open_.find(fd);
        if (it == open_.end()) {
            return -EBADF;
        }
        FakeNode& n = *it->second;
        n.requests.push_back(request);
        if (n.gone) {
            return -ENODEV;
        }
        if (request == HIDIOCGRAWINFO) {
            auto* info = static_cast<hidraw_devinfo*>(arg);
            info->bustype = n.bustype;
            info->vendor = n.vendor;
            info->product = n.product;
            return 0;
        }
        if (request == HIDIOCGRDESCSIZE) {
            if (n.descriptorSizeErrno != 0) {
                return -n.descriptorSizeErrno;
            }
            *static_cast<int*>(arg) = static_cast<int>(n.descriptor.size());
            return 0;
        }
        if (request == HIDIOCGRDESC) {
            if (n.descriptorErrno != 0) {
                return -n.descriptorErrno;
            }
            auto* descriptor = static_cast<hidraw_report_descriptor*>(arg);
            // As the kernel: a size above HID_MAX_DESCRIPTOR_SIZE - 1 is refused.
            if (descriptor->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
                return -EINVAL;
            }
            const std::size_t count = std::min<std::size_t>(descriptor->size, n.descriptor.size());
            std::memcpy(descriptor->value, n.descriptor.data(), count);
            return 0;
        }
        if (_IOC_TYPE(request) == 'H' && _IOC_NR(request) == 0x06 &&
            _IOC_DIR(request) == (_IOC_WRITE | _IOC_READ)) {
            if (n.featureErrno != 0) {
                return -n.featureErrno;
            }
            const std::size_t length = _IOC_SIZE(request);
            const auto* bytes = static_cast<const std::uint8_t*>(arg);
            n.featureReports.emplace_back(bytes, bytes + length);
            return static_cast<int>(length);
        }
        return -ENOTTY;
    }

    bool isOpen(int fd) const { return open_.count(fd) != 0; }
    std::size_t openCount() const { return open_.size(); }

    int openCalls = 0;
    // Every Close call's fd, in order; shared so that it outlives the fake, which the
    // platform owns.
    std::shared_ptr<std::vector<int>> closed = std::make_shared<std::vector<int>>();

  private:
    std::map<std::string, std::shared_ptr<FakeNode>> nodes_;
    std::map<int, std::shared_ptr<FakeNode>> open_;
    int nextFd_ = 100;
};

}  // namespace velt::hidraw::testing
