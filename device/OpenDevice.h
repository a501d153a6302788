#pragma once

#include <cstdint>
#include <memory>

#include "device/HidDevice.h"

namespace velt {

// The Velt-USB a discovery pass found and opened, as every front end and the update hold
// it: what the backend listed about it, the open device and the length of its feature
// reports. Holding no device is holding nothing.
struct OpenDevice {
    HidInterfaceInfo info;
    // Closing it is letting the device go.
    std::unique_ptr<HidDevice> hid;
    // 0 when the device would not tell, so a length from an earlier device never
    // outlives it.
    std::uint16_t featureReportLength = 0;

    bool isOpen() const { return hid != nullptr; }
    // Lets go of the device; doing so twice does nothing.
    void Close() { hid.reset(); }
};

}  // namespace velt
