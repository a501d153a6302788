#pragma once

// The hidraw driver as the backend sees it, with one node behind every path.

#include <linux/hidraw.h>
#include <linux/input.h>
#include <algorithm>
#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "device/hidraw/HidrawIo.h"

namespace velt::hidraw::testing {

class FakeHidrawIo final : public HidrawIo {
  public:
    int Open(const std::string&) override { return openErrno != 0 ? -openErrno : ++openCount; }
    int LockExclusive(int) override { return -lockErrno; }
    int Close(int) override { return --openCount < 0 ? -EBADF : 0; }
    int Ioctl(int, unsigned long request, void* arg) override {
        if (failures[request] != 0) {
            return -failures[request];
        } else if (request == HIDIOCGRAWINFO) {
            *static_cast<hidraw_devinfo*>(arg) = {BUS_USB, 0x1209, 0x2442};
        } else if (request == HIDIOCGRDESCSIZE) {
            *static_cast<int*>(arg) = static_cast<int>(descriptor.size());
        } else if (request == HIDIOCGRDESC) {
            auto* out = static_cast<hidraw_report_descriptor*>(arg);
            if (out->size > HID_MAX_DESCRIPTOR_SIZE - 1) {
                return -EINVAL;  // as the kernel does
            }
            std::copy_n(descriptor.data(), std::min<std::size_t>(out->size, descriptor.size()),
                        out->value);
        } else if (request == HIDIOCSFEATURE(_IOC_SIZE(request))) {
            const auto* bytes = static_cast<const std::uint8_t*>(arg);
            featureReports.emplace_back(bytes, bytes + _IOC_SIZE(request));
        } else {
            return -ENOTTY;
        }
        return 0;
    }

    int openErrno = 0;  // non-zero: open() fails with it
    int lockErrno = 0;  // non-zero: flock() fails with it
    int openCount = 0;  // descriptors open
    std::vector<std::uint8_t> descriptor = {0x75, 0x08, 0x95, 0x28, 0xB1, 0x02};  // 40 + 1 bytes
    std::map<unsigned long, int> failures;  // ioctl request -> errno it fails with (0: none)
    std::vector<std::vector<std::uint8_t>> featureReports;  // what HIDIOCSFEATURE sent
};

}  // namespace velt::hidraw::testing
