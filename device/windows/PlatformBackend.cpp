#include "device/PlatformBackend.h"

#include "device/windows/WindowsHidBackend.h"

namespace velt {

std::unique_ptr<HidBackend> MakePlatformBackend() {
    return std::make_unique<WindowsHidBackend>();
}

// Device notifications on Windows come through a window message loop; none yet.
std::unique_ptr<DeviceMonitor> MakePlatformMonitor() {
    return nullptr;
}

}  // namespace velt
