#pragma once

#include <memory>

#include "device/DeviceMonitor.h"
#include "device/HidDevice.h"

namespace velt {

// The HID stack of the platform the program was built for (hidraw on Linux, the HID class
// driver on Windows): each backend folder defines it.
std::unique_ptr<HidBackend> MakePlatformBackend();

// The platform's device notifications, or nullptr where the platform has none.
std::unique_ptr<DeviceMonitor> MakePlatformMonitor();

}  // namespace velt
