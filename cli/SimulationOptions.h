#pragma once

#include <CLI/CLI.hpp>

#include "device/simulated/BusOptions.h"

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

}  // namespace velt::cli
