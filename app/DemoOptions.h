#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "device/simulated/SimulatedSetup.h"

namespace velt {

// The demo program's command line: what is plugged into the simulated bus, how the
// Velt-USB behaves, and what the demo does unattended.
struct DemoOptions {
    std::string folder;  // empty: demo-image beside the program
    std::string image;   // a firmware image the user named; empty: the one in the folder
    sim::BusSetup bus;
    std::string screenshot;     // save the window once started, then exit
    bool autoUpdate = false;    // press the button once the window is shown
    std::string screenshotDir;  // transfer.png half-way, end.png at the end
    int closeAfterMs = 0;       // > 0: ask the window to close this long after it is shown
};

// Parses the command line into options. Returns an exit status when the program should
// stop at once (help asked for: 0; a bad option: 2, one line naming it written to err).
std::optional<int> ParseDemoOptions(int argc, const char* const* argv, DemoOptions& options,
                                    std::ostream& out, std::ostream& err);

}  // namespace velt
