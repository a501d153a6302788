#pragma once

#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "update/FirmwareImage.h"

namespace velt::cli {

// Flashes each Velt-USB as it is plugged in, side by side, until Ctrl-C (--watch). A
// device is flashed once per watch: one that comes back with the serial number of a device
// already done (rebooting into its new firmware, or plugged in again) is shown as done. With
// --record, the latest entry the record has for a serial number with this image decides
// instead, read on as other processes append to it. A device in its bootloader is never
// done. `image` holds the checked image.
int WatchAndFlash(Session& session, const FlashOptions& options, const ImageLoad& image,
                  JsonEvents& json);

}  // namespace velt::cli
