#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/History.h"
#include "cli/Program.h"
#include "device/simulated/SimulatedSetup.h"

namespace velt::cli {

struct FlashOptions {
    std::string image;
    bool yes = false;
    // Absent: do not wait for a device; 0: wait without limit.
    std::optional<std::uint64_t> waitMs;
    std::string timeoutText = "30";
    std::uint64_t timeoutMs = 30'000;  // 0: none
    bool json = false;
    std::string device;  // a location, path or serial number; empty: the first one found
    bool all = false;
    bool watch = false;
    bool newOnly = false;      // --watch leaves the devices present at its start alone
    std::string expectSha256;  // lower-case hex; empty: any image
    std::string record;        // the flash record's file; empty: none
    bool again = false;        // --watch flashes devices the record has as done
};

// A command line as parsed and checked: what to run, with what.
struct CommandLine {
    enum class Command { List, Flash, History };
    Command command = Command::Flash;
    bool verbose = false;  // every device operation logged to standard error
    FlashOptions flash;    // list takes its --json too
    HistoryOptions history;
    bool simulate = false;  // on a simulated bus set up as `setup`
    sim::BusSetup setup;
};

// Parses and checks `args` (without the program name). Returns the command line, or the
// exit status when there is nothing to run: --help and --version answered on `streams`, or a
// usage error said on its error stream and left in `usage` as well.
std::variant<CommandLine, int> ParseCommandLine(const std::vector<std::string>& args,
                                                const CliStreams& streams, std::string& usage);

}  // namespace velt::cli
