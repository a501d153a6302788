#pragma once

#include <string>
#include <vector>

#include "DeviceState.h"
#include "HidPlatform.h"

namespace velt {

// One discovery pass: walks the present HID interfaces in order, opens each, and stops
// at the first whose product ID is 0x2442 or 0xB038 (the vendor ID is not examined).
// At a match the capabilities are read and the query handle opened. Returns
// state.deviceFound. Matching interfaces passed over because their open was refused
// by permissions are appended to `refused` when given.
bool FindTheHid(HidPlatform& platform, DeviceState& state,
                std::vector<std::string>* refused = nullptr);

// Reads the capabilities of the device behind commandHandle; cleared when that fails,
// so a report length from an earlier device never outlives it.
void ReadDeviceCaps(HidPlatform& platform, DeviceState& state);

}  // namespace velt
