#include "device/PlatformBackend.h"

#include "device/hidraw/HidrawBackend.h"
#include "device/hidraw/UeventMonitor.h"

namespace velt {

std::unique_ptr<HidBackend> MakePlatformBackend() {
    return std::make_unique<HidrawBackend>();
}

std::unique_ptr<DeviceMonitor> MakePlatformMonitor() {
    return std::make_unique<hidraw::UeventMonitor>();
}

}  // namespace velt
