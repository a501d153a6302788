#pragma once

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "device/simulated/BusOptions.h"
#include "device/simulated/SimulatedSetup.h"
#include "update/UpdateListener.h"

namespace velt::cli {

// --simulate and the options of the simulated Velt-USB, the same as the window demo's
// (its --version is --device-version here, since --version is the program's own).
class SimulationOptions {
  public:
    void AddTo(CLI::App& app);
    // Call after parsing. Throws CLI::ValidationError.
    void Apply() { device_.Apply(); }

    bool simulate = false;
    sim::BusSetup setup;

  private:
    sim::BusOptions device_{setup, "--device-version"};
};

// The simulated devices' summary: one line for a single update's one device; with several,
// or for --all and --watch, one line per device, named by its place.
std::vector<std::string> SimulatedSummary(const std::vector<sim::SimulatedVelt*>& velts,
                                          bool single, UpdateOutcome outcome);

}  // namespace velt::cli
