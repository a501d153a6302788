#include "device/PlatformBackend.h"

#include "device/windows/WindowsHidBackend.h"

namespace velt {

std::unique_ptr<HidBackend> MakePlatformBackend() {
    return std::make_unique<WindowsHidBackend>();
}

}  // namespace velt
