#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/HidDevice.h"

namespace velt {

// What the last discovery pass found out about the device it matched.
struct DeviceAttributes {
    std::uint16_t VendorID = 0;
    std::uint16_t ProductID = 0;
    std::uint16_t VersionNumber = 0;
};

// The window-level record of the open device.
struct DeviceState {
    bool deviceFound = false;
    // Open while a device is found; closing it is letting it go.
    std::unique_ptr<HidDevice> device;
    std::string devicePath;
    // Where it is plugged in (HidInterfaceInfo::location); empty when the backend cannot tell.
    std::string deviceLocation;
    DeviceAttributes deviceAttributes;
    // 0 when the device would not tell, so a length from an earlier device never
    // outlives it.
    std::uint16_t featureReportLength = 0;

    // Lets go of the device; doing so twice does nothing.
    void Close() { device.reset(); }
};

}  // namespace velt
