#include "app/production/ProductionTexts.h"

#include <algorithm>

namespace velt::production {

std::string StateWords(const Tile& tile) {
    switch (tile.state) {
        case TileState::Free:
            return "Free";
        case TileState::Waiting:
            return "Waiting for bootloader";
        case TileState::Writing:
            return "Writing " + std::to_string(std::clamp(tile.percent, 0, 100)) + "%";
        case TileState::Passed:
            return "PASS";
        case TileState::Failed:
            return "FAIL";
        case TileState::AlreadyDone:
            return "Already done";
    }
    return {};
}

std::string CountersLine(const Counters& counters) {
    std::string line = "Passed " + std::to_string(counters.passed) + "    Failed " +
                       std::to_string(counters.failed) + "    Already done " +
                       std::to_string(counters.alreadyDone);
    if (counters.expected) {
        line += "    Expected " + std::to_string(*counters.expected);
        // Only devices passed in this session count: one already done may be one of them,
        // plugged in again.
        const int missing = *counters.expected - counters.passed;
        line += missing > 0 ? ": " + std::to_string(missing) + " short" : ": reached";
    }
    return line;
}

}  // namespace velt::production
