#include "app/DemoOptions.h"

#include <CLI/CLI.hpp>

#include "Product.h"
#include "device/simulated/BusOptions.h"
#include "platform/Utf8.h"

namespace velt {

std::optional<int> ParseDemoOptions(int argc, const char* const* argv, DemoOptions& options,
                                    std::ostream& out, std::ostream& err) {
    CLI::App app{"The Velt-USB firmware update window on a simulated device."};
    app.name("velt-usb-firmware-demo");
    sim::BusOptions device(options.bus, "--version");

    app.add_option("IMAGE", options.image, "The firmware image (default: the one in the folder)");
    app.add_option("--folder", options.folder,
                   std::string("Application folder holding ") + product::imageName +
                       " (default: demo-image beside the program)");
    device.AddTo(app);
    app.add_option("--screenshot", options.screenshot,
                   "Save the window's image once it has started, then exit");
    app.add_flag("--auto-update", options.autoUpdate, "Press the button once the window is shown");
    app.add_option("--screenshot-dir", options.screenshotDir,
                   "Save transfer.png half-way through an update and end.png at the end");
    app.add_option("--close-after-ms", options.closeAfterMs,
                   "Ask the window to close (as its close box does) this long after it is shown")
        ->check(CLI::Range(1, sim::kLongestTimeOptionMs));

    try {
        app.parse(argc, argv);
        device.Apply();
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, out, err);  // --help
        }
        // The value as typed is shown, never obeyed by the terminal.
        err << app.get_name() << ": " << Printable(error.what()) << std::endl;
        return 2;
    }
    return std::nullopt;
}

}  // namespace velt
