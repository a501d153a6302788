#include "DeviceState.h"

namespace velt {

void HandleField::close(HidPlatform& platform, std::int32_t& apiResult) {
    if (!isOpen()) {
        return;
    }
    apiResult = platform.Close(handle_) ? 1 : 0;
    handle_ = kInvalidHandle;
}

void CloseDeviceHandles(HidPlatform& platform, DeviceState& state) {
    state.commandHandle.close(platform, state.apiResult);
    state.queryHandle.close(platform, state.apiResult);
}

}  // namespace velt
