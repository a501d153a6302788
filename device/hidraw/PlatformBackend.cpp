#include "device/PlatformBackend.h"

#include "device/hidraw/HidrawBackend.h"

namespace velt {

std::unique_ptr<HidBackend> MakePlatformBackend() {
    return std::make_unique<HidrawBackend>();
}

}  // namespace velt
