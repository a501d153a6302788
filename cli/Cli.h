#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Program.h"
#include "device/DeviceMonitor.h"
#include "device/HidDevice.h"
#include "line/Interrupts.h"
#include "platform/Clock.h"
#include "update/Outcome.h"

namespace velt::cli {

using line::Interrupts;

// What the program runs on, passed in so that tests run it on a virtual clock against a
// simulated bus of their own.
struct CliEnvironment {
    Clock& clock;
    // The devices when --simulate is not given.
    HidBackend& backend;
    Interrupts& interrupts;
    // Standard input is a terminal: asking is possible (on standard output when it is a
    // terminal too, else on standard error).
    bool terminalIn = false;
    // Standard output is a terminal: progress is redrawn in place.
    bool terminalOut = false;
    // Tells when devices come and go (--watch); null where the platform cannot.
    DeviceMonitor* monitor = nullptr;
};

// Runs the command line `args` (without the program name); returns the exit status.
int RunCli(const std::vector<std::string>& args, const CliStreams& streams,
           CliEnvironment& environment);

}  // namespace velt::cli
