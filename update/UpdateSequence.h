#pragma once

#include <string>

#include "device/DeviceState.h"
#include "device/Discovery.h"
#include "device/HidDevice.h"
#include "platform/Clock.h"
#include "update/FirmwareImage.h"
#include "update/UpdateListener.h"

namespace velt {

struct UpdateContext {
    HidBackend& backend;
    Clock& clock;
    DeviceState& state;
    UpdateListener& listener;
    std::string imagePath;
    // How messages call the image.
    std::string imageName;
    // An image the caller has already loaded; otherwise it is loaded and checked first.
    const FirmwareImage* image = nullptr;
    // Set: only the device at this place is taken back after the mode switch, so that with
    // several devices attached each update follows its own. Empty: the first one found.
    DeviceFilter follow = {};
};

// The whole update of the device in `state`: the image check, the switch to the
// bootloader for an application-mode device, the wait until the bootloader answers on a
// freshly opened device, and the transfer. Lets go of the device on every way out.
// Returns UpdateOutcome::None, touching nothing, when no device is open.
UpdateResult UpdateFirmware(UpdateContext& context);

// Sends the mode switch, then polls until the device is back in its bootloader. Returns
// the cause when the wait was cancelled.
std::optional<CancelCause> EnterBootloader(UpdateContext& context);

// Streams the image to the open bootloader as data reports, 20 ms apart. Lets go of the
// device when it ends, whatever the outcome.
UpdateResult SendFlashData(UpdateContext& context, const FirmwareImage& image);

}  // namespace velt
