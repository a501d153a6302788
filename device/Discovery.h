#pragma once

#include <string>
#include <vector>

#include "device/DeviceError.h"
#include "device/DeviceState.h"
#include "device/HidDevice.h"

namespace velt {

// A Velt-USB that is present but could not be opened, and why.
struct UnusableDevice {
    HidInterfaceInfo info;
    DeviceError error;
};

// The present interfaces that carry a Velt-USB product ID (whatever the vendor ID), in
// the backend's order.
std::vector<HidInterfaceInfo> VeltInterfaces(HidBackend& backend);

// One discovery pass: opens the first Velt-USB that can be opened and keeps it in
// `state`, with its attributes and feature report length. Interfaces after it are never
// opened. Returns state.deviceFound. Velt-USBs passed over because they could not be
// opened are appended to `unusable` when given.
bool FindTheHid(HidBackend& backend, DeviceState& state,
                std::vector<UnusableDevice>* unusable = nullptr);

}  // namespace velt
