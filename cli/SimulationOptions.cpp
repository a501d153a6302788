#include "cli/SimulationOptions.h"

#include "device/PlatformWords.h"

namespace velt::cli {

void SimulationOptions::AddTo(CLI::App& app) {
    app.add_flag("--simulate", simulate,
                 std::string("Run against a simulated Velt-USB in real time instead of ") +
                     PlatformDevicesName());
    device_.AddTo(app, "Simulated device (with --simulate)");
}

}  // namespace velt::cli
