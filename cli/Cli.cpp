#include "cli/Cli.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <variant>

#include "cli/DetachedOutput.h"
#include "cli/DeviceListing.h"
#include "cli/Flash.h"
#include "cli/History.h"
#include "cli/LoggingBackend.h"
#include "cli/Options.h"
#include "cli/Session.h"
#include "cli/SimulationOptions.h"
#include "device/simulated/BusMonitor.h"
#include "device/simulated/SimulatedBus.h"
#include "device/simulated/SimulatedSetup.h"
#include "line/Json.h"
#include "update/Outcome.h"

namespace velt::cli {

namespace {

// Runs the command; a usage error's message is left in `usage` as well.
int RunCommand(const std::vector<std::string>& args, const CliStreams& streams,
               CliEnvironment& environment, std::string& usage) {
    const auto parsed = ParseCommandLine(args, streams, usage);
    if (const int* status = std::get_if<int>(&parsed)) {
        return *status;
    }
    const CommandLine& command = std::get<CommandLine>(parsed);
    if (command.command == CommandLine::Command::History) {
        return ShowHistory(command.history, streams.out, streams.err);
    }
    const FlashOptions& flashOptions = command.flash;
    const bool verbose = command.verbose;
    const bool listing = command.command == CommandLine::Command::List;

    std::unique_ptr<sim::SimulatedBus> bus;
    std::optional<sim::BusMonitor> busMonitor;
    std::vector<sim::SimulatedVelt*> velts;
    HidBackend* backend = &environment.backend;
    DeviceMonitor* monitor = environment.monitor;
    if (command.simulate) {
        bus = std::make_unique<sim::SimulatedBus>(environment.clock);
        velts = sim::PopulateBus(*bus, command.setup);
        backend = bus.get();
        monitor = &busMonitor.emplace(*bus, environment.clock);
    }
    std::optional<LoggingBackend> logging;
    if (verbose) {
        backend = &logging.emplace(*backend, streams.err);
    }

    std::ostream nothing(nullptr);
    Session session{*backend,
                    environment.clock,
                    streams,
                    flashOptions.json ? nothing : streams.out,
                    environment.interrupts,
                    environment.terminalIn,
                    environment.terminalOut,
                    monitor};
    // The simulated devices' summary; with --json just before the last object, so that the
    // result stays last.
    // `list --json` prints devices and nothing else.
    bool summarized = !command.simulate || (flashOptions.json && listing);
    const auto summarize = [&](UpdateOutcome outcome) {
        if (summarized) {
            return;
        }
        summarized = true;
        const bool single = !flashOptions.all && !flashOptions.watch;
        for (const std::string& line : SimulatedSummary(velts, single, outcome)) {
            if (flashOptions.json) {
                streams.out << line::JsonText({{"event", "simulated-device"}, {"line", line}})
                            << std::endl;
            } else {
                streams.out << line << std::endl;
            }
        }
    };
    if (flashOptions.json) {
        session.beforeLast = summarize;
    }
    UpdateOutcome outcome = UpdateOutcome::None;
    if (!listing && streams.detach) {
        streams.detach();
    }
    const int status = listing ? List(session.backend, streams.out, streams.err, flashOptions.json)
                               : Flash(session, flashOptions, outcome);
    summarize(outcome);
    return status;
}

}  // namespace

namespace {
int RunDetached(const std::vector<std::string>& args, const CliStreams& streams,
                CliEnvironment& environment);
}  // namespace

int RunCli(const std::vector<std::string>& args, const CliStreams& given,
           CliEnvironment& environment) {
    // Whole lines in the order written; once a flash starts, from a thread of their own, so
    // that the transfer's pace never depends on how fast the output is taken.
    int status = kExitSuccess;
    {
        DetachedOutput output(given.out, given.err);
        status = RunDetached(args, {given.in, output.out(), output.err(), [&] { output.Detach(); }},
                             environment);
    }
    // A failed write never stops the work (a transfer goes on); it is said once, at the end.
    given.out.flush();
    if (!given.out) {
        given.err << kProgram
                  << ": standard output could not be written; what it should have shown is lost"
                  << std::endl;
        if (status == kExitSuccess) {
            status = kExitOutputLost;
        }
    }
    return status;
}

namespace {

int RunDetached(const std::vector<std::string>& args, const CliStreams& streams,
                CliEnvironment& environment) {
    std::string usage;
    const int status = RunCommand(args, streams, environment, usage);
    // With --json a usage error is an object too, so that a program reading the output
    // learns why nothing happened.
    const auto optionsEnd = std::find(args.begin(), args.end(), "--");
    if (!usage.empty() && std::find(args.begin(), optionsEnd, "--json") != optionsEnd) {
        const Outcome refused = OutcomeOf(Refusal::Usage, usage);
        streams.out << line::JsonText({{"event", "result"},
                                       {"result", refused.result},
                                       {"exit", refused.exitStatus},
                                       {"error", refused.error},
                                       {"message", refused.brief}})
                    << std::endl;
    }
    return status;
}

}  // namespace

}  // namespace velt::cli
