#include "cli/SimulationOptions.h"

#include "device/PlatformWords.h"

namespace velt::cli {

void SimulationOptions::AddTo(CLI::App& app) {
    app.add_flag("--simulate", simulate,
                 std::string("Run against a simulated Velt-USB in real time instead of ") +
                     PlatformDevicesName());
    device_.AddTo(app, "Simulated device (with --simulate)");
}

std::vector<std::string> SimulatedSummary(const std::vector<sim::SimulatedVelt*>& velts,
                                          bool single, UpdateOutcome outcome) {
    std::vector<std::string> lines;
    if (velts.size() <= 1 && single) {
        lines.push_back(
            sim::ResultLine(velts.empty() ? nullptr : velts.front(), OutcomeName(outcome)));
    } else {
        for (const sim::SimulatedVelt* velt : velts) {
            lines.push_back(sim::DeviceLine(*velt));
        }
    }
    return lines;
}

}  // namespace velt::cli
