#include "device/PlatformBackend.h"

#include "device/windows/WindowsDeviceMonitor.h"
#include "device/windows/WindowsHidBackend.h"

namespace velt {

std::unique_ptr<HidBackend> MakePlatformBackend() {
    return std::make_unique<WindowsHidBackend>();
}

std::unique_ptr<DeviceMonitor> MakePlatformMonitor() {
    return std::make_unique<WindowsDeviceMonitor>();
}

}  // namespace velt
