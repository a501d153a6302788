#pragma once

#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "update/FirmwareImage.h"

namespace velt::cli {

// Flashes every Velt-USB present, side by side, each at its own pace and each followed
// across its re-enumeration by its location (--all). Returns the exit status: 0 only when
// every device took the whole image.
int FlashAll(Session& session, const FlashOptions& options, const FirmwareImage& image,
             JsonEvents& json);

// Flashes each Velt-USB as it is plugged in, side by side, until Ctrl-C (--watch). A
// device is flashed once per watch: one that comes back with the serial number of a device
// already done (rebooting into its new firmware, or plugged in again) is shown as done.
int WatchAndFlash(Session& session, const FlashOptions& options, const FirmwareImage& image,
                  JsonEvents& json);

}  // namespace velt::cli
