#include "cli/ProductionLine.h"

#include <algorithm>
#include <map>

#include "cli/DeviceListing.h"
#include "cli/FlashRecord.h"
#include "cli/Progress.h"
#include "cli/RunListener.h"
#include "cli/Text.h"
#include "device/Discovery.h"
#include "update/UpdateSequence.h"

namespace velt::cli {

namespace {

std::string Records(const DeviceRun& run) {
    return std::to_string(run.result.recordsSent) + "/" + std::to_string(run.result.totalRecords);
}

}  // namespace

Outcome DeviceRun::outcome() const {
    return problem.empty() ? OutcomeOf(result) : OutcomeOf(Refusal::Unopened, problem);
}

ProductionLine::ProductionLine(Session& session, const FlashOptions& options,
                               const ImageLoad& image, JsonEvents& json)
    : session_(session),
      options_(options),
      image_(image),
      json_(json),
      board_(session.out, session.io.err, session.terminalOut) {
    json_.ShareLock(jsonLock_);
}

void ProductionLine::Start(const HidInterfaceInfo& info, std::optional<std::string> serial) {
    DeviceRun& run = runs_.emplace_back();
    run.info = info;
    run.serial = std::move(serial);
    run.row = board_.Add(Printable(PlaceOf(info) + " " + run.serial.value_or("-")));
    run.startMs = session_.clock.NowMs();
    // Counted before it runs, so that a virtual clock waits for it from the start.
    session_.clock.ThreadStarted();
    run.thread = std::thread([this, &run] { Run(run); });
}

std::vector<const DeviceRun*> ProductionLine::Reap() {
    std::vector<const DeviceRun*> done;
    for (DeviceRun& run : runs_) {
        if (run.finished && run.thread.joinable()) {
            run.thread.join();
            done.push_back(&run);
        }
    }
    return done;
}

void ProductionLine::JoinAll() {
    for (DeviceRun& run : runs_) {
        if (run.thread.joinable()) {
            run.thread.join();
        }
    }
}

bool ProductionLine::Running() const {
    return std::any_of(runs_.begin(), runs_.end(),
                       [](const DeviceRun& run) { return !run.finished; });
}

int ProductionLine::Finish() {
    JoinAll();
    std::vector<int> statuses;
    for (const DeviceRun& run : runs_) {
        statuses.push_back(run.outcome().exitStatus);
    }
    const int succeeded =
        static_cast<int>(std::count(statuses.begin(), statuses.end(), kExitSuccess));
    const int failed = static_cast<int>(runs_.size()) - succeeded;
    const int status =
        CombinedStatus(statuses, session_.recorder != nullptr && session_.recorder->Failed());
    if (!runs_.empty()) {
        PrintTable();
    }
    session_.out << succeeded << " of " << runs_.size() << " devices flashed"
                 << (failed > 0 ? ", " + std::to_string(failed) + " not" : std::string()) << '.'
                 << std::endl;
    if (options_.json) {
        if (session_.beforeLast) {
            session_.beforeLast(UpdateOutcome::None);
        }
        json_.Emit("summary", {{"devices", runs_.size()},
                               {"succeeded", succeeded},
                               {"failed", failed},
                               {"exit", status}});
    }
    return status;
}

void ProductionLine::Run(DeviceRun& run) {
    RunListener listener(board_, run.row, session_.clock, session_.interrupts, options_.timeoutMs);
    JsonEvents json(session_.io.out, session_.clock);
    json.SetDevice(PlaceOf(run.info));
    json.ShareLock(jsonLock_);
    OpenDevice velt;
    std::vector<UnusableDevice> unusable;
    if (!OpenFirstVelt(session_.backend, velt, &unusable, AtPlaceOf(run.info))) {
        run.problem = unusable.empty()
                          ? std::string("gone before it could be opened")
                          : "cannot be opened: " + OpenErrorText(unusable.front().error.kind());
        run.endMs = session_.clock.NowMs();
    } else {
        if (options_.json) {
            json.Device(velt, run.serial);
        }
        UpdateDevice(session_, options_, image_, velt,
                     Following(session_.backend, run.info.location, run.serial), listener, json,
                     run);
    }
    const Outcome outcome = run.outcome();
    // On disk before its result is told, so that the result's status counts a lost entry.
    const std::string unrecorded =
        RecordDevice(session_, options_, json, run, outcome, outcome.reason);
    if (!unrecorded.empty()) {
        run.unrecorded = true;
        board_.Message(unrecorded, true);
    }
    if (options_.json) {
        Outcome told = outcome;
        told.exitStatus = RecordedStatus(outcome.exitStatus, run.unrecorded);
        json.Result(told, run.result, outcome.reason);
    }
    board_.Finish(run.row, std::string(outcome.result) + ", " + Records(run) + " records in " +
                               MinutesSeconds(run.endMs - run.startMs) +
                               (outcome.reason.empty() ? "" : ": " + outcome.reason));
    run.finished = true;
    session_.clock.ThreadEnded();
}

void ProductionLine::PrintTable() {
    std::vector<std::vector<std::string>> rows{
        {"Location", "Serial", "Result", "Records", "Time", ""}};
    for (const DeviceRun& run : runs_) {
        const Outcome outcome = run.outcome();
        rows.push_back({Printable(PlaceOf(run.info)), Printable(run.serial.value_or("-")),
                        outcome.result, Records(run), MinutesSeconds(run.endMs - run.startMs),
                        outcome.reason});
    }
    std::ostream& out = session_.out;
    out << '\n';
    PrintColumns(out, rows);
    out << std::flush;
}

int FlashAll(Session& session, const FlashOptions& options, const ImageLoad& image,
             JsonEvents& json) {
    std::vector<HidInterfaceInfo> velts;
    const auto status = WaitForDevice(session, options.waitMs, [&] {
        velts = VeltInterfaces(session.backend);
        return !velts.empty();
    });
    if (status == kExitInterrupted) {
        return *status;
    }
    if (velts.empty()) {
        session.io.err << kProgram << ": no Velt-USB found" << std::endl;
        return kExitNoDevice;
    }
    // Serial numbers first, so that every device starts at the same moment.
    std::vector<std::optional<std::string>> serials;
    for (const HidInterfaceInfo& info : velts) {
        try {
            serials.push_back(ReadSerialNumber(session.backend, info.path));
        } catch (const DeviceError&) {
            serials.emplace_back();  // its own run says why it cannot be opened
        }
    }
    // Each device back in bootloader mode must be told from the others: by its location,
    // or where the system tells none, by a serial number no other device has.
    std::map<std::string, int> serialCount;
    for (const auto& serial : serials) {
        serialCount[serial.value_or("")] += serial ? 1 : 0;
    }
    for (std::size_t index = 0; velts.size() > 1 && index < velts.size(); ++index) {
        if (velts[index].location.empty() &&
            (!serials[index] || serialCount[*serials[index]] > 1)) {
            session.io.err << kProgram
                           << ": --all needs each device's USB location or a serial number of "
                              "its own, and this system reports no location for "
                           << Printable(velts[index].path)
                           << "; flash the devices one at a time with --device" << std::endl;
            return kExitUsage;
        }
    }
    std::string places;
    for (const HidInterfaceInfo& info : velts) {
        places += (places.empty() ? "" : ", ") + Printable(PlaceOf(info));
    }
    session.out << "Found " << velts.size() << (velts.size() == 1 ? " Velt-USB: " : " Velt-USBs: ")
                << places << std::endl;
    if (!ConfirmFlash(session, options, *image.image, "all " + std::to_string(velts.size()))) {
        return kExitInterrupted;
    }
    ProductionLine line(session, options, image, json);
    // Holds a virtual clock until every device has started.
    session.clock.ThreadStarted();
    for (std::size_t index = 0; index < velts.size(); ++index) {
        line.Start(velts[index], serials[index]);
    }
    session.clock.ThreadEnded();
    return line.Finish();
}

}  // namespace velt::cli
