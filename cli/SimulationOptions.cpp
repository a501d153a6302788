#include "cli/SimulationOptions.h"

namespace velt::cli {

void SimulationOptions::AddTo(CLI::App& app) {
    app.add_flag("--simulate", simulate,
                 "Run against a simulated Velt-USB in real time instead of the hidraw devices");
    device_.AddTo(app, "Simulated device (with --simulate)");
}

}  // namespace velt::cli
