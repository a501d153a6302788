#pragma once

#include "cli/Options.h"
#include "cli/Session.h"
#include "update/UpdateListener.h"

namespace velt::cli {

// `flash`: the image read and checked once (its digest against --expect-sha256), the record
// tried, then one device, every device present (--all) or each as it comes (--watch).
// Returns the exit status; `outcome` is the single update's.
int Flash(Session& session, const FlashOptions& options, UpdateOutcome& outcome);

}  // namespace velt::cli
