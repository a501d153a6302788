#include "app/production/ProductionOptions.h"

#include <CLI/CLI.hpp>

#include "device/simulated/BusOptions.h"
#include "platform/Utf8.h"

namespace velt::production {

std::optional<int> ParseProductionOptions(int argc, char** argv, ProductionOptions& options,
                                          std::ostream& out, std::ostream& err) {
    CLI::App app{
        "Flashes every Velt-USB plugged in, once per serial number, for a production "
        "line."};
    app.name("velt-usb-production");
    sim::SimulationOptions simulation;
    int expected = 0;

    app.add_option("IMAGE", options.image, "The firmware image (default: chosen in the window)");
    app.add_option("--expect-sha256", options.expectSha256,
                   "Arm only when the image's SHA-256 is this one (64 hexadecimal digits)");
    app.add_option("--record", options.record,
                   "Append each device's end to this file, one JSON object a line; its latest "
                   "entry for a serial number decides whether that device is done");
    app.add_option("--station", options.station, "This station's name, kept in the record");
    CLI::Option* expectedOption =
        app.add_option("--expected", expected, "How many devices this session should flash")
            ->check(CLI::Range(1, 1'000'000));
    app.add_flag("--arm", options.arm, "Arm as soon as the window is shown");
    simulation.AddTo(app);
    app.add_option("--screenshot", options.screenshot,
                   "Save the window's image once it has started, then exit");
    app.add_option("--close-after-ms", options.closeAfterMs,
                   "Ask the window to close (as its close box does) this long after it is shown")
        ->check(CLI::Range(1, sim::kLongestTimeOptionMs));

    try {
        app.parse(argc, argv);
        simulation.Apply();
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, out, err);  // --help
        }
        // The value as typed is shown, never obeyed by the terminal.
        err << app.get_name() << ": " << Printable(error.what()) << std::endl;
        return 2;
    }
    if (expectedOption->count() > 0) {
        options.expected = expected;
    }
    options.simulate = simulation.simulate;
    options.bus = simulation.setup;
    return std::nullopt;
}

Setup InitialSetup(const ProductionOptions& options) {
    Setup setup;
    setup.image = options.image;
    setup.expectedSha256 = options.expectSha256;
    setup.record = options.record;
    setup.station = options.station;
    setup.expected = options.expected;
    return setup;
}

}  // namespace velt::production
