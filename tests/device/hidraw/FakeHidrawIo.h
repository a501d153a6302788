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
    int lockErrno = 0;  // non-zero: flock() fails with it
    std::uint32_t bustype = BUS_USB;
    std::int16_t vendor = 0x1209;  // signed, as the kernel hands them out
    std::int16_t product = 0x2442;
    std::vector<std::uint8_t> descriptor;
    std::map<unsigned long, int> failures;  // ioctl request -> errno it fails with

    std::vector<std::vector<std::uint8_t>> featureReports;  // what HIDIOCSFEATURE sent
    int lockHolder = -1;
};

class FakeHidrawIo final : public HidrawIo {
  public:
    FakeNode& node(const std::string& path) { return nodes_[path]; }

    int Open(const std::string& path) override {
        const auto it = nodes_.find(path);
        if (it == nodes_.end()) {
            return -ENOENT;
        }
        if (it->second.openErrno != 0) {
            return -it->second.openErrno;
        }
        open_[nextFd_] = &it->second;
        return nextFd_++;
    }

    int LockExclusive(int fd) override {
        FakeNode& n = *open_.at(fd);
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
        if (open_.count(fd) != 0 && open_[fd]->lockHolder == fd) {
            open_[fd]->lockHolder = -1;  // closing releases the flock
        }
        return open_.erase(fd) == 1 ? 0 : -EBADF;
    }

    int Ioctl(int fd, unsigned long request, void* arg) override {
        FakeNode& n = *open_.at(fd);
        if (n.failures.count(request) != 0) {
            return -n.failures[request];
        }
        if (request == HIDIOCGRAWINFO) {
            *static_cast<hidraw_devinfo*>(arg) = {n.bustype, n.vendor, n.product};
        } else if (request == HIDIOCGRDESCSIZE) {
            *static_cast<int*>(arg) = static_cast<int>(n.descriptor.size());
        } else if (request == HIDIOCGRDESC) {
            auto* descriptor = static_cast<hidraw_report_descriptor*>(arg);
            if (descriptor->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
                return -EINVAL;  // as the kernel
            }
            std::memcpy(descriptor->value, n.descriptor.data(),
                        std::min<std::size_t>(descriptor->size, n.descriptor.size()));
        } else if (request == HIDIOCSFEATURE(_IOC_SIZE(request))) {
            const auto* bytes = static_cast<const std::uint8_t*>(arg);
            n.featureReports.emplace_back(bytes, bytes + _IOC_SIZE(request));
            return static_cast<int>(_IOC_SIZE(request));
        } else {
            return -ENOTTY;
        }
        return 0;
    }

    // Every Close call's fd, in order; shared so that it outlives the fake, which the
    // platform owns.
    std::shared_ptr<std::vector<int>> closed = std::make_shared<std::vector<int>>();

  private:
    std::map<std::string, FakeNode> nodes_;  // std::map: references stay valid
    std::map<int, FakeNode*> open_;
    int nextFd_ = 100;
};

}  // namespace velt::hidraw::testing
