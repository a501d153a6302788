#pragma once

#include "device/Discovery.h"
#include "device/HidDevice.h"
#include "device/OpenDevice.h"
#include "platform/Clock.h"
#include "update/FirmwareImage.h"
#include "update/UpdateListener.h"

namespace velt {

struct UpdateContext {
    HidBackend& backend;
    Clock& clock;
    // The device to update, open; let go of when the update ends, however it ends.
    OpenDevice& velt;
    UpdateListener& listener;
    // The image as the caller loaded it (LoadFirmwareImage): exactly these bytes are sent.
    // One that failed its check ends the update before the device is touched.
    const ImageLoad& image;
    // Set: only the device at this place is taken back after the mode switch, so that with
    // several devices attached each update follows its own. Empty: the first one found.
    DeviceFilter follow = {};
};

// The whole update of the open device, in this order: check the image; switch an
// application-mode device to its bootloader (send the command, let go); wait for the
// bootloader and open it once (a bootloader-mode device is let go and opened afresh as
// well); probe it; send each record; finish. The listener hears each phase once. Lets go
// of the device on every way out. Returns UpdateOutcome::None, touching nothing, when no
// device is open.
UpdateResult UpdateFirmware(UpdateContext& context);

}  // namespace velt
