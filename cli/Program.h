#pragma once

#include <functional>
#include <istream>
#include <ostream>

#include "update/Outcome.h"  // the exit statuses

namespace velt::cli {

// How the program names itself in its messages and usage.
inline constexpr const char* kProgram = "velt-usb-flash";

struct CliStreams {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    // Called before a transfer: from then on writing never waits for a slow reader.
    std::function<void()> detach = {};
};

}  // namespace velt::cli
