#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "app/production/ProductionWindow.h"
#include "device/simulated/SimulatedSetup.h"

namespace velt::production {

// The production programs' command line: the set-up the window starts with, whether it
// arms at once, the simulated bus instead of the real devices, and what it does unattended.
struct ProductionOptions {
    std::string image;  // empty: chosen in the window
    std::string expectSha256;
    std::string record;  // empty: no record
    std::string station;
    std::optional<int> expected;
    bool arm = false;  // arms as soon as the window is shown, when the set-up allows
    bool simulate = false;
    sim::BusSetup bus;
    std::string screenshot;  // save the window once started, then exit
    int closeAfterMs = 0;    // > 0: ask the window to close this long after it is shown
};

// Parses the command line into options. Returns an exit status when the program should
// stop at once (help asked for: 0; a bad option: 2, one line naming it written to err).
std::optional<int> ParseProductionOptions(int argc, char** argv, ProductionOptions& options,
                                          std::ostream& out, std::ostream& err);

// The set-up the window starts with.
Setup InitialSetup(const ProductionOptions& options);

}  // namespace velt::production
