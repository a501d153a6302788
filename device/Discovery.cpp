#include "device/Discovery.h"

#include "device/VeltProtocol.h"

namespace velt {

std::vector<HidInterfaceInfo> VeltInterfaces(HidBackend& backend) {
    std::vector<HidInterfaceInfo> velts;
    for (HidInterfaceInfo& info : backend.ListInterfaces()) {
        if (protocol::IsVeltProductId(info.productId)) {
            velts.push_back(std::move(info));
        }
    }
    return velts;
}

bool FindTheHid(HidBackend& backend, DeviceState& state, std::vector<UnusableDevice>* unusable) {
    state.Close();
    state.deviceFound = false;
    for (const HidInterfaceInfo& info : VeltInterfaces(backend)) {
        try {
            state.device = backend.Open(info.path);
        } catch (const DeviceError& error) {
            if (unusable != nullptr) {
                unusable->push_back({info, error});
            }
            continue;
        }
        state.deviceFound = true;
        state.devicePath = info.path;
        state.deviceAttributes = {info.vendorId, info.productId, info.version};
        try {
            state.featureReportLength = state.device->FeatureReportLength();
        } catch (const DeviceError&) {
            // The update refuses a device whose report cannot carry its commands.
            state.featureReportLength = 0;
        }
        return true;
    }
    return false;
}

}  // namespace velt
