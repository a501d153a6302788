#include "app/production/UnattendedRun.h"

#include <algorithm>
#include <utility>

#include "app/production/ProductionTexts.h"
#include "platform/Utf8.h"

namespace velt::production {

UnattendedRun::UnattendedRun(ProductionWindow& window, const ProductionOptions& options,
                             std::size_t simulated, std::function<void()> settled)
    : window_(window),
      unattended_(!options.screenshot.empty() || options.closeAfterMs > 0),
      devices_(options.simulate ? static_cast<int>(simulated)
                                : std::max(1, options.expected.value_or(1))),
      settled_(std::move(settled)) {}

void UnattendedRun::ShowTiles(const std::vector<Tile>& tiles) {
    window_.ShowTiles(tiles);
    tiles_ = tiles;
    const auto ended = std::count_if(tiles.begin(), tiles.end(), [](const Tile& tile) {
        return tile.state == TileState::Passed || tile.state == TileState::Failed ||
               tile.state == TileState::AlreadyDone;
    });
    const auto busy = std::count_if(tiles.begin(), tiles.end(), [](const Tile& tile) {
        return tile.state == TileState::Waiting || tile.state == TileState::Writing;
    });
    if (busy == 0 && ended >= devices_ && settled_) {
        std::exchange(settled_, nullptr)();
    }
}

void UnattendedRun::ShowCounters(const Counters& counters) {
    window_.ShowCounters(counters);
    counters_ = counters;
}

void UnattendedRun::PrintResults(std::ostream& out) const {
    for (const Tile& tile : tiles_) {
        out << "tile " << Printable(tile.location) << ": " << StateWords(tile)
            << (tile.reason.empty() ? "" : ": " + Printable(tile.reason)) << '\n';
    }
    out << "production: passed=" << counters_.passed << " failed=" << counters_.failed
        << " already-done=" << counters_.alreadyDone << std::endl;
}

}  // namespace velt::production
