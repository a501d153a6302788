#pragma once

#include <string>

#include "app/production/ProductionWindow.h"

namespace velt::production {

// The words a tile's state reads in large type: "Writing 42%", "PASS", ...
std::string StateWords(const Tile& tile);

// The counters line, a shortfall against the expected count in words.
std::string CountersLine(const Counters& counters);

}  // namespace velt::production
