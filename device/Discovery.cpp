#include "Discovery.h"

namespace velt {

namespace {
bool IsVeltProductId(std::uint16_t productId) {
    return productId == bootloaderProductId || productId == applicationProductId;
}
}  // namespace

bool FindTheHid(HidPlatform& platform, DeviceState& state, std::vector<std::string>* refused) {
    state.lastInterface = false;
    state.deviceFound = false;

    // The snapshot lives for this search only.
    auto interfaces = platform.ListInterfaces();
    std::uint32_t memberIndex = 0;
    do {
        std::string path;
        const bool exists = interfaces && interfaces->Interface(memberIndex, path);
        state.apiResult = exists ? 1 : 0;
        if (!exists) {
            state.lastInterface = true;
        } else {
            state.devicePath = path;
            state.commandHandle.assign(platform.Open(state.devicePath, false));
            const bool opened = state.commandHandle.isOpen();
            const OpenError openError = opened ? OpenError::None : platform.LastOpenError();

            state.deviceAttributes.VendorID = 0;
            state.deviceAttributes.ProductID = 0;
            state.deviceAttributes.Size = 12;
            // A failed open reaches the platform as an invalid handle, which fails here.
            const bool read = opened && platform.GetAttributes(state.commandHandle.value(),
                                                               state.deviceAttributes);
            state.apiResult = read ? 1 : 0;

            if (read && IsVeltProductId(state.deviceAttributes.ProductID)) {
                state.deviceFound = true;
            } else {
                state.deviceFound = false;
                state.commandHandle.close(platform, state.apiResult);
                std::uint16_t productId = 0;
                if (refused && openError == OpenError::PermissionDenied &&
                    platform.PeekProductId(path, productId) && IsVeltProductId(productId)) {
                    refused->push_back(path);
                }
            }
        }
        ++memberIndex;
    } while (!state.lastInterface && !state.deviceFound);
    interfaces.reset();

    if (!state.deviceFound) {
        return false;
    }
    ReadDeviceCaps(platform, state);
    state.queryHandle.assign(platform.Open(state.devicePath, true));
    return true;
}

void ReadDeviceCaps(HidPlatform& platform, DeviceState& state) {
    HidpCaps caps;
    const bool read = platform.GetCaps(state.commandHandle.value(), caps);
    state.apiResult = read ? 1 : 0;
    state.deviceCaps = read ? caps : HidpCaps{};
}

}  // namespace velt
