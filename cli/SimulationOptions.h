#pragma once

#include <string>
#include <vector>

#include "device/simulated/SimulatedSetup.h"
#include "update/UpdateListener.h"

namespace velt::cli {

// The simulated devices' summary: one line for a single update's one device; with several,
// or for --all and --watch, one line per device, named by its place.
std::vector<std::string> SimulatedSummary(const std::vector<sim::SimulatedVelt*>& velts,
                                          bool single, UpdateOutcome outcome);

}  // namespace velt::cli
