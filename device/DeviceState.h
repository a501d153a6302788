#pragma once

#include <cstdint>
#include <string>

#include "HidPlatform.h"

namespace velt {

// A device handle held by the device state. A failed open leaves it closed; closing
// a closed handle does nothing, so the platform never sees one handle closed twice.
class HandleField {
  public:
    HidHandle value() const { return handle_; }
    bool isOpen() const { return handle_ != kInvalidHandle; }
    void assign(HidHandle handle) { handle_ = handle; }
    // Closes an open handle and stores the platform's result in apiResult; otherwise
    // leaves apiResult alone.
    void close(HidPlatform& platform, std::int32_t& apiResult);

  private:
    HidHandle handle_ = kInvalidHandle;
};

// The window-level record of the open device.
struct DeviceState {
    bool deviceFound = false;
    HandleField commandHandle;
    HandleField queryHandle;
    std::string devicePath;
    HiddAttributes deviceAttributes;
    HidpCaps deviceCaps;
    std::int32_t apiResult = 0;
    bool lastInterface = false;
};

// Closes commandHandle, then queryHandle, where open.
void CloseDeviceHandles(HidPlatform& platform, DeviceState& state);

}  // namespace velt
