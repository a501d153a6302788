#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "SimulatedBus.h"
#include "UpdateSequence.h"

namespace velt {

// The demo program's command line: what is plugged into the simulated bus, how the
// Velt-USB behaves, and what the demo does unattended.
struct DemoOptions {
    std::string folder;  // empty: demo-image beside the program
    bool noDevice = false;
    sim::DeviceModel model;
    sim::VeltBehaviour behaviour;
    int otherDevices = 0;
    std::string screenshot;     // save the window once started, then exit
    bool autoUpdate = false;    // press the button once the window is shown
    std::string screenshotDir;  // transfer.png half-way, end.png at the end
};

// Parses the command line into options. Returns an exit status when the program should
// stop at once (help asked for: 0; bad options: non-zero, the reason written to err).
std::optional<int> ParseDemoOptions(int argc, const char* const* argv, DemoOptions& options,
                                    std::ostream& out, std::ostream& err);

// Plugs in the other devices first, then the Velt-USB unless there is none; returns the
// Velt-USB or nullptr.
sim::SimulatedVelt* PopulateBus(sim::SimulatedBus& bus, const DemoOptions& options);

// The one line the demo prints on leaving:
// "simulated device: <summary> result=<success|failure|cancelled|none>".
std::string DemoResultLine(const sim::SimulatedVelt* velt, UpdateOutcome outcome);

}  // namespace velt
