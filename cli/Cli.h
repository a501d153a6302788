#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Interrupts.h"
#include "device/DeviceMonitor.h"
#include "device/HidDevice.h"
#include "platform/Clock.h"

namespace velt::cli {

// The program's exit statuses.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUpdateFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitNoDevice = 3;
inline constexpr int kExitTimedOut = 4;
// Everything else went well, but standard output could not be written (a full disk, a
// reader that went away): what was to be shown is lost.
inline constexpr int kExitOutputLost = 5;
inline constexpr int kExitInterrupted = 130;

struct CliStreams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

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
