#include "cli/Cli.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>

#include <CLI/CLI.hpp>

#include "Product.h"
#include "app/DemoOptions.h"
#include "cli/DeviceListing.h"
#include "cli/LoggingBackend.h"
#include "cli/SimulationOptions.h"
#include "cli/TerminalReporter.h"
#include "device/Discovery.h"
#include "device/IdentityDisplay.h"
#include "device/VeltProtocol.h"
#include "device/simulated/SimulatedBus.h"
#include "update/FirmwareImage.h"
#include "update/UpdateSequence.h"

namespace velt::cli {

namespace {

constexpr const char* kProgram = "velt-usb-flash";
constexpr std::uint32_t kWaitPollMs = 100;

struct FlashOptions {
    std::string image;
    bool yes = false;
    // Absent: do not wait for a device; 0: wait without limit.
    std::optional<double> waitSeconds;
    unsigned timeoutSeconds = 30;
};

// What one command works with.
struct Session {
    HidBackend& backend;
    Clock& clock;
    const CliStreams& io;
    Interrupts& interrupts;
    bool terminalIn;
    bool terminalOut;
};

void ReportUnusable(Session& session, const std::vector<UnusableDevice>& unusable) {
    for (const UnusableDevice& device : unusable) {
        session.io.err << "  " << device.info.path << ": " << OpenErrorText(device.error.kind())
                       << '\n';
        if (device.error.kind() == DeviceErrorKind::PermissionDenied) {
            session.io.err << "  hint: " << PermissionHint() << '\n';
        }
    }
}

int List(Session& session) {
    const std::vector<ListedDevice> devices = ListVeltDevices(session.backend);
    if (devices.empty()) {
        session.io.err << kProgram << ": no Velt-USB found" << std::endl;
        return kExitNoDevice;
    }
    PrintListing(session.io.out, devices);
    session.io.out.flush();
    const bool usable = std::any_of(devices.begin(), devices.end(),
                                    [](const ListedDevice& device) { return !device.openError; });
    return usable ? kExitSuccess : kExitNoDevice;
}

// Discovery, polling every 100 ms while --wait allows. Returns an exit status when no
// device is to be had.
std::optional<int> Discover(Session& session, const FlashOptions& options, DeviceState& state) {
    std::vector<UnusableDevice> unusable;
    if (FindTheHid(session.backend, state, &unusable)) {
        return std::nullopt;
    }
    if (options.waitSeconds) {
        const int pressed = session.interrupts.Count();
        const std::uint64_t start = session.clock.NowMs();
        const auto limitMs = static_cast<std::uint64_t>(*options.waitSeconds * 1000.0);
        session.io.out << "Waiting for a Velt-USB..." << std::endl;
        for (;;) {
            if (session.interrupts.Count() > pressed) {
                session.io.err << "Interrupted while waiting for a device." << std::endl;
                return kExitInterrupted;
            }
            if (limitMs > 0 && session.clock.NowMs() - start >= limitMs) {
                break;
            }
            session.clock.SleepMs(kWaitPollMs);
            unusable.clear();
            if (FindTheHid(session.backend, state, &unusable)) {
                return std::nullopt;
            }
        }
    }
    session.io.err << kProgram << ": no Velt-USB found" << std::endl;
    ReportUnusable(session, unusable);
    return kExitNoDevice;
}

// Asks on the terminal; false when the answer is not yes or Ctrl-C was pressed.
bool Confirm(Session& session, const FlashOptions& options, std::size_t records,
             const std::string& path) {
    const int pressed = session.interrupts.Count();
    session.io.out << "Flash " << options.image << " (" << records
                   << " records) to the Velt-USB at " << path << "? [y/N] " << std::flush;
    std::string answer;
    const bool read = static_cast<bool>(std::getline(session.io.in, answer));
    if (!read || session.interrupts.Count() > pressed) {
        session.io.out << std::endl;
        return false;
    }
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer == "y" || answer == "yes";
}

// What the terminal says about a cancelled update; the exit status.
int ReportCancelled(Session& session, const FlashOptions& options, const UpdateResult& result) {
    std::ostream& err = session.io.err;
    if (result.cause == CancelCause::Timeout) {
        err << kProgram << ": timed out: the Velt-USB did not come back in bootloader mode within "
            << options.timeoutSeconds
            << " s. No firmware was written. Replug the device and start again (--timeout 0 "
               "waits without limit)."
            << std::endl;
        return kExitTimedOut;
    }
    if (result.recordsSent > 0) {
        err << "The update was stopped after " << result.recordsSent << " of "
            << result.totalRecords
            << " records. The firmware was not completely written. Start the update again."
            << std::endl;
    } else {
        err << "Cancelled. No firmware was written. The device may be waiting in its "
               "bootloader: start the update again to finish it."
            << std::endl;
    }
    return result.cause == CancelCause::Interrupt ? kExitInterrupted : kExitUpdateFailed;
}

int Flash(Session& session, const FlashOptions& options, UpdateOutcome& outcome) {
    std::ostream& out = session.io.out;
    std::ostream& err = session.io.err;

    // Read and checked once; the update sends exactly these bytes.
    const ImageLoad load = LoadFirmwareImage(options.image, options.image);
    if (!load.image) {
        err << kProgram << ": " << load.message << std::endl;
        return kExitUsage;
    }
    const FirmwareImage& image = *load.image;
    if (const auto rest = image.remainder(); rest != 0) {
        err << "warning: the last " << rest << " bytes of " << options.image
            << " do not fill a 40-byte record and will not be sent" << std::endl;
    }

    DeviceState state;
    if (const auto status = Discover(session, options, state)) {
        return *status;
    }
    const DeviceAttributes& found = state.deviceAttributes;
    out << "Found the Velt-USB at " << state.devicePath << ": " << ModeName(found.ProductID)
        << " mode, " << Hex4(found.VendorID) << ':' << Hex4(found.ProductID) << ", version"
        << FormatVersion(found.VersionNumber) << std::endl;

    // Scripts run without a terminal and are not asked.
    if (session.terminalIn && session.terminalOut && !options.yes &&
        !Confirm(session, options, image.wholeRecords(), state.devicePath)) {
        state.Close();
        err << "Not flashed." << std::endl;
        return kExitInterrupted;
    }

    TerminalReporter::Settings settings;
    settings.redraw = session.terminalOut;
    settings.timeoutMs = static_cast<std::uint64_t>(options.timeoutSeconds) * 1000U;
    TerminalReporter reporter(out, err, session.clock, session.interrupts, settings);
    UpdateContext context{session.backend, session.clock, state, reporter,
                          options.image,   options.image, &image};
    const UpdateResult result = UpdateFirmware(context);
    outcome = result.outcome;

    switch (outcome) {
        case UpdateOutcome::Success:
            out << "Done: " << result.recordsSent << " records ("
                << WithThousands(static_cast<std::uint64_t>(result.recordsSent) *
                                 protocol::recordSize)
                << " bytes) written to the Velt-USB." << std::endl;
            return kExitSuccess;
        case UpdateOutcome::Failure:
            return kExitUpdateFailed;
        case UpdateOutcome::None:
            err << kProgram << ": the Velt-USB is gone" << std::endl;
            return kExitNoDevice;
        case UpdateOutcome::Cancelled:
            break;
    }
    return ReportCancelled(session, options, result);
}

}  // namespace

int RunCli(const std::vector<std::string>& args, const CliStreams& streams,
           CliEnvironment& environment) {
    CLI::App app{"Writes firmware into the Velt-USB over Linux hidraw."};
    app.name(kProgram);
    app.set_version_flag("--version", product::versionText);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done, 1 update failed, 2 usage or image error, 3 no device, "
        "4 timed out, 130 interrupted or not confirmed.\n"
        "Without a terminal (in scripts) flash does not ask before it starts.");

    bool verbose = false;
    FlashOptions flashOptions;
    SimulationOptions simulation;
    app.add_flag("-v,--verbose", verbose, "Log every device operation to standard error");
    app.add_flag("-y,--yes", flashOptions.yes, "Flash without asking");
    simulation.AddTo(app);

    CLI::App* list = app.add_subcommand("list", "List the Velt-USB devices present");
    list->fallthrough();
    CLI::App* flash = app.add_subcommand("flash", "Write a firmware image into the Velt-USB");
    flash->fallthrough();
    flash->add_option("IMAGE", flashOptions.image, "The firmware image")->required();
    double waitSeconds = 0;
    CLI::Option* waitOption =
        flash
            ->add_option("--wait", waitSeconds,
                         "Wait for a device to appear, at most SECONDS (default: without limit)")
            ->expected(0, 1)
            ->default_str("0")
            ->check(CLI::NonNegativeNumber);
    flash
        ->add_option("--timeout", flashOptions.timeoutSeconds,
                     "Bound in seconds on the wait for the bootloader after the mode switch; 0: "
                     "none")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber);

    std::vector<const char*> argv{kProgram};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        simulation.Apply();
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, streams.out, streams.err);
        return status == 0 ? kExitSuccess : kExitUsage;
    }
    if (waitOption->count() > 0) {
        flashOptions.waitSeconds = waitSeconds;
    }

    std::unique_ptr<sim::SimulatedBus> bus;
    sim::SimulatedVelt* velt = nullptr;
    HidBackend* backend = &environment.backend;
    if (simulation.simulate) {
        bus = std::make_unique<sim::SimulatedBus>(environment.clock);
        velt = PopulateBus(*bus, simulation.demo);
        backend = bus.get();
    }
    std::optional<LoggingBackend> logging;
    if (verbose) {
        backend = &logging.emplace(*backend, streams.err);
    }

    Session session{*backend,
                    environment.clock,
                    streams,
                    environment.interrupts,
                    environment.terminalIn,
                    environment.terminalOut};
    UpdateOutcome outcome = UpdateOutcome::None;
    const int status = list->parsed() ? List(session) : Flash(session, flashOptions, outcome);
    if (simulation.simulate) {
        streams.out << DemoResultLine(velt, outcome) << std::endl;
    }
    return status;
}

}  // namespace velt::cli
