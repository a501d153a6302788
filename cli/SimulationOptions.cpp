#include "cli/SimulationOptions.h"

namespace velt::cli {

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
