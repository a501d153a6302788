#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/HidDevice.h"

namespace velt::test {

// A backend as a system that tells no USB locations sees it (wine's HID stack).
struct NoLocations final : HidBackend {
    explicit NoLocations(HidBackend& inner) : inner(inner) {}
    std::vector<HidInterfaceInfo> ListInterfaces() override {
        auto listed = inner.ListInterfaces();
        for (HidInterfaceInfo& info : listed) {
            info.location.clear();
        }
        return listed;
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override { return inner.Open(path); }
    HidBackend& inner;
};

}  // namespace velt::test
