#pragma once

#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "update/FirmwareImage.h"

namespace velt::cli {

// Flashes each Velt-USB as it is plugged in, side by side, until Ctrl-C (--watch), as
// line::Watch decides, shown on the board. `image` holds the checked image.
int WatchAndFlash(Session& session, const FlashOptions& options, const ImageLoad& image,
                  JsonEvents& json);

}  // namespace velt::cli
