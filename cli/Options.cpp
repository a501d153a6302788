#include "cli/Options.h"

#include <algorithm>
#include <cctype>

#include <CLI/CLI.hpp>

#include "Product.h"
#include "cli/Text.h"
#include "device/simulated/BusOptions.h"

namespace velt::cli {

std::variant<CommandLine, int> ParseCommandLine(const std::vector<std::string>& args,
                                                const CliStreams& streams, std::string& usage) {
    const auto usageError = [&](const std::string& message) {
        streams.err << kProgram << ": " << message << std::endl;
        usage = message;
        return kExitUsage;
    };
    CLI::App app{"Writes firmware into the Velt-USB."};
    app.name(kProgram);
    app.set_version_flag("--version", product::versionText);
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 done, 1 update failed, 2 usage or image error, 3 no device, "
        "4 timed out, 5 done but the output or the record could not be written, 130 "
        "interrupted or not "
        "confirmed.\n"
        "Without a terminal on standard input (in scripts) flash does not ask before it "
        "starts.");

    CommandLine command;
    bool& verbose = command.verbose;
    FlashOptions& flashOptions = command.flash;
    sim::SimulationOptions simulation;
    app.add_flag("-v,--verbose", verbose, "Log every device operation to standard error");
    app.add_flag("-y,--yes", flashOptions.yes, "Flash without asking");
    app.add_flag("--json", flashOptions.json,
                 "Flash prints one JSON object a line on standard output, for programs to follow");
    simulation.AddTo(app);

    CLI::App* list = app.add_subcommand("list", "List the Velt-USB devices present");
    list->fallthrough();
    CLI::App* flash = app.add_subcommand("flash", "Write a firmware image into the Velt-USB");
    flash->fallthrough();
    flash->add_option("IMAGE", flashOptions.image, "The firmware image")->required();
    std::string waitText;
    CLI::Option* waitOption =
        flash
            ->add_option("--wait", waitText,
                         "Wait for a device to appear, at most SECONDS (default: without limit)")
            ->expected(0, 1);
    CLI::Option* deviceOption = flash->add_option(
        "--device", flashOptions.device,
        "Flash only this device: its location, path or serial number, as `list` shows them");
    CLI::Option* allOption =
        flash
            ->add_flag("--all", flashOptions.all,
                       "Flash every Velt-USB present at once, each at its own pace; a table at "
                       "the end")
            ->excludes(deviceOption);
    CLI::Option* watchOption =
        flash
            ->add_flag("--watch", flashOptions.watch,
                       "Flash every Velt-USB as it is plugged in, each once, until Ctrl-C")
            ->excludes(deviceOption)
            ->excludes(allOption)
            ->excludes(waitOption);
    flash
        ->add_flag("--new-only", flashOptions.newOnly,
                   "With --watch: leave the devices present at the start alone")
        ->needs(watchOption);
    CLI::Option* expectOption = flash->add_option(
        "--expect-sha256", flashOptions.expectSha256,
        "Flash only an image with this SHA-256 (64 hexadecimal digits), the published one");
    CLI::Option* recordOption = flash->add_option(
        "--record", flashOptions.record,
        "Append each device's end to this file, one JSON object a line, on disk before the "
        "next device starts");
    flash
        ->add_flag("--again", flashOptions.again,
                   "With --watch --record: flash a device again that the record has as done")
        ->needs(watchOption)
        ->needs(recordOption);
    flash
        ->add_option("--timeout", flashOptions.timeoutText,
                     "Bound in seconds on the wait for the bootloader after the mode switch; 0: "
                     "none")
        ->capture_default_str();

    CLI::App* history =
        app.add_subcommand("history", "Show what a flash record (--record) says, oldest first");
    history->fallthrough();
    HistoryOptions& historyOptions = command.history;
    history->add_option("FILE", historyOptions.file, "The record")->required();
    CLI::Option* serialOption =
        history->add_option("--serial", historyOptions.serial, "Only the device with this serial");
    CLI::Option* sinceOption =
        history->add_option("--since", historyOptions.since,
                            "Only from this UTC date or time on: 2026-12-07 or 2026-12-07T08:00");

    std::vector<const char*> argv{kProgram};
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    // The parser reads `--wait ""` as a bare --wait (no limit); an empty value, as from an
    // unset variable, is refused instead.
    bool emptyWait = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        emptyWait = emptyWait || args[i] == "--wait=" ||
                    (args[i] == "--wait" && i + 1 < args.size() && args[i + 1].empty());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
        simulation.Apply();
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == 0) {
            return app.exit(error, streams.out, streams.err);  // --help, --version
        }
        // Quoted, so that an empty or blank argument is seen too.
        std::string stray;
        for (const std::string& extra : app.remaining(true)) {
            stray += " '" + Printable(extra) + "'";
        }
        if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
            return usageError("not expected:" + stray);
        }
        // "FILE is required" alone leaves the user to guess which command wanted it.
        std::string message = Printable(error.what());
        const std::vector<CLI::App*> commands = app.get_subcommands();
        if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && !commands.empty()) {
            message = commands.front()->get_name() + ": " + message;
        }
        // A word in the wrong place is often why something is missing: `foo history`.
        if (!stray.empty()) {
            message += "; not expected:" + stray;
        }
        return usageError(message);
    }
    if (history->parsed()) {
        if (historyOptions.file.empty()) {
            return usageError("history: FILE is empty: name the record that flash --record wrote");
        }
        if (sinceOption->count() > 0 && !ValidSince(historyOptions.since)) {
            return usageError(
                "--since takes a UTC date or time such as 2026-12-07 or "
                "2026-12-07T08:00, not '" +
                Printable(historyOptions.since) + "'");
        }
        // An empty serial number would show the devices that have none, or every device.
        if (serialOption->count() > 0 && historyOptions.serial.empty()) {
            return usageError("--serial is empty: name a device's serial number");
        }
        historyOptions.json = flashOptions.json;
        command.command = CommandLine::Command::History;
        return command;
    }
    if (flash->parsed() && flashOptions.image.empty()) {
        return usageError("IMAGE is empty: name the firmware image file");
    }
    // Seconds are checked here rather than by the parser, so that the message says in one
    // line what the option takes. --wait without a value waits without limit.
    const auto seconds = [&](const char* option, const std::string& text) {
        const auto ms = ParseSeconds(text);
        if (!ms) {
            usageError(std::string(option) + " takes a number of seconds from 0 to " +
                       std::to_string(kMaxSeconds) + ", not '" + Printable(text) + "'");
        }
        return ms;
    };
    if (expectOption->count() > 0) {
        std::string& hex = flashOptions.expectSha256;
        const std::string given = hex;
        std::transform(hex.begin(), hex.end(), hex.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (hex.size() != 64 || hex.find_first_not_of("0123456789abcdef") != hex.npos) {
            return usageError(
                "--expect-sha256 takes the image's SHA-256 as 64 hexadecimal "
                "digits, not '" +
                Printable(given) + "'");
        }
    }
    if (recordOption->count() > 0 && flashOptions.record.empty()) {
        return usageError("--record is empty: name the file that keeps the record");
    }
    // An empty name would match nothing, or anything, depending on who reads it.
    if (deviceOption->count() > 0 && flashOptions.device.empty()) {
        return usageError("--device is empty: name a device's location, path or serial number");
    }
    if (waitOption->count() > 0) {
        flashOptions.waitMs = waitText.empty() && !emptyWait ? 0 : seconds("--wait", waitText);
        if (!flashOptions.waitMs) {
            return kExitUsage;
        }
    }
    const auto timeoutMs = seconds("--timeout", flashOptions.timeoutText);
    if (!timeoutMs) {
        return kExitUsage;
    }
    flashOptions.timeoutMs = *timeoutMs;
    command.command = list->parsed() ? CommandLine::Command::List : CommandLine::Command::Flash;
    command.simulate = simulation.simulate;
    command.setup = simulation.setup;
    return command;
}

}  // namespace velt::cli
