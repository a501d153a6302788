#include <cstdlib>
#include <sstream>

#include "cli/Cli.h"
#include "cli/Text.h"
#include "device/simulated/SimulatedBus.h"

using namespace velt;

// An empty bus; Ctrl-C is pressed at its tenth search, so that --wait ends.
struct EmptyBus final : HidBackend {
    std::vector<HidInterfaceInfo> ListInterfaces() override {
        if (++searches == 10) {
            interrupts.Interrupt();
        }
        return bus.ListInterfaces();
    }
    std::unique_ptr<HidDevice> Open(const std::string& path) override { return bus.Open(path); }
    VirtualClock clock;
    sim::SimulatedBus bus{clock};
    cli::Interrupts interrupts;
    int searches = 0;
};

// The input's NUL-separated arguments, --simulate left out. Every run ends in a documented
// status, and a usage error is one line that names an option or what was given.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::istringstream split(std::string(reinterpret_cast<const char*>(data), size)), in;
    for (std::string arg; std::getline(split, arg, '\0');) {
        if (arg != "--simulate" && !arg.starts_with("--simulate=")) {
            args.push_back(arg);
        }
    }
    EmptyBus bus;
    std::ostringstream out, err;
    cli::CliEnvironment environment{bus.clock, bus, bus.interrupts};
    const int status = cli::RunCli(args, {in, out, err}, environment);
    // An option is a word that starts with a dash, quoted or not; the program's name names
    // nothing given.
    std::string line = err.str();
    line.erase(0, line.starts_with("velt-usb-flash: ") ? 16 : 0);
    bool named = (' ' + line).find(" -") != line.npos || line.find("'-") != line.npos ||
                 line.find("IMAGE") != line.npos || line.find("subcommand") != line.npos;
    for (const std::string& arg : args) {
        // Quoted, an empty argument is named too.
        named = named || line.find("'" + cli::Printable(arg) + "'") != line.npos ||
                (!arg.empty() && line.find(cli::Printable(arg)) != line.npos);
    }
    const bool oneLine = !line.empty() && line.find('\n') == line.size() - 1;
    if ((status != 130 && (status < 0 || status > 4)) || (status == 2 && !(oneLine && named))) {
        std::abort();
    }
    return 0;
}
