#include <cstdlib>
#include <sstream>
#include <string_view>

#include "cli/Cli.h"
#include "cli/Text.h"
#include "device/simulated/SimulatedBus.h"
#include "line/Json.h"

using namespace velt;

// Virtual time in which Ctrl-C is pressed at every pause after the first minute, so that
// every wait and watch ends, on the empty bus below or on --simulate's devices.
struct PressingClock final : Clock {
    std::uint64_t NowMs() const override { return inner.NowMs(); }
    void SleepMs(std::uint32_t milliseconds) override {
        if (inner.NowMs() > 60'000) {
            interrupts.Interrupt();
        }
        inner.SleepMs(milliseconds);
    }
    void ThreadStarted() override { inner.ThreadStarted(); }
    void ThreadEnded() override { inner.ThreadEnded(); }
    VirtualClock inner;
    line::Interrupts interrupts;
};

// An empty bus.
struct EmptyBus final : HidBackend {
    std::vector<HidInterfaceInfo> ListInterfaces() override { return bus.ListInterfaces(); }
    std::unique_ptr<HidDevice> Open(const std::string& path) override { return bus.Open(path); }
    PressingClock clock;
    sim::SimulatedBus bus{clock};
};

// The input's NUL-separated arguments. Every run ends in a documented status, a usage
// error is one line that names an option or what was given, and with --json every line on
// standard output is one JSON object.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args;
    std::istringstream split(std::string(reinterpret_cast<const char*>(data), size)), in;
    bool json = false, help = false;
    for (std::string arg; std::getline(split, arg, '\0');) {
        json = json || arg == "--json";
        // Help and the version are text; -h may hide in a run of short flags.
        help = help || arg.starts_with("--help") || arg.starts_with("--version") ||
               (arg.starts_with('-') && !arg.starts_with("--") && arg.find('h') != arg.npos);
        args.push_back(arg);
    }
    EmptyBus bus;
    std::ostringstream out, err;
    cli::CliEnvironment environment{bus.clock, bus, bus.clock.interrupts};
    const int status = cli::RunCli(args, {in, out, err}, environment);
    std::istringstream lines(json && !help ? out.str() : std::string());
    for (std::string line; std::getline(lines, line);) {
        if (!line::ParseFlatObject(line)) {
            std::abort();
        }
    }
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
