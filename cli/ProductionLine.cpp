#include "cli/ProductionLine.h"

#include <algorithm>
#include <atomic>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "cli/DeviceBoard.h"
#include "cli/DeviceListing.h"
#include "cli/StopRule.h"
#include "cli/TerminalReporter.h"
#include "cli/Text.h"
#include "device/Discovery.h"
#include "update/UpdateSequence.h"

namespace velt::cli {

namespace {

// A watch wakes this often without device events, to retry a device it could not open
// yet (its permissions may still be being set) and to notice Ctrl-C.
constexpr std::uint32_t kWatchWakeMs = 1000;
// A device without a serial number is taken for another one at the same place only after
// it was away this long; a reboot into new firmware is quicker.
constexpr std::uint64_t kAwayForNewMs = 5000;
// How long a watch keeps quietly retrying a device it cannot open before it says so.
constexpr std::uint64_t kQuietRetryMs = 2000;

// How a device is named in the log and in JSON: where it is plugged in.
std::string PlaceOf(const HidInterfaceInfo& info) {
    return info.location.empty() ? info.path : info.location;
}

// One device's update, on a thread of its own.
struct DeviceRun {
    HidInterfaceInfo info;
    std::optional<std::string> serial;
    std::size_t row = 0;
    std::uint64_t startMs = 0;
    std::uint64_t endMs = 0;
    UpdateResult result;
    std::string problem;    // why it was never updated: gone, cannot be opened
    bool switched = false;  // the mode switch went out: the device may be in its bootloader
    std::atomic<bool> finished = false;
    std::thread thread;
};

int RunStatus(const DeviceRun& run) {
    if (!run.problem.empty()) {
        return kExitNoDevice;
    }
    switch (run.result.outcome) {
        case UpdateOutcome::Success:
            return kExitSuccess;
        case UpdateOutcome::Cancelled:
            return run.result.cause == CancelCause::Timeout     ? kExitTimedOut
                   : run.result.cause == CancelCause::Interrupt ? kExitInterrupted
                                                                : kExitUpdateFailed;
        case UpdateOutcome::None:
            return kExitNoDevice;
        case UpdateOutcome::Failure:
            break;
    }
    return kExitUpdateFailed;
}

std::string ResultName(const DeviceRun& run) {
    return run.problem.empty() ? OutcomeName(run.result.outcome) : "failure";
}

// Why a device did not take the whole image, in one line; empty on success.
std::string Reason(const DeviceRun& run) {
    const UpdateResult& result = run.result;
    if (!run.problem.empty()) {
        return run.problem;
    }
    switch (result.outcome) {
        case UpdateOutcome::Success:
            return "";
        case UpdateOutcome::Failure:
            return DescribeUpdateError(*result.error);
        case UpdateOutcome::None:
            return "gone";
        case UpdateOutcome::Cancelled:
            break;
    }
    if (result.cause == CancelCause::Timeout) {
        return "timed out: it did not come back in bootloader mode; no firmware was written";
    }
    if (result.recordsSent > 0) {
        return "stopped after " + std::to_string(result.recordsSent) + " of " +
               std::to_string(result.totalRecords) + " records: not completely written";
    }
    if (run.switched) {
        return "cancelled after the switch: no firmware was written; the device may be waiting "
               "in its bootloader, run the update again";
    }
    return "cancelled: no firmware was written";
}

// What --json calls the error; empty on success.
std::string ErrorName(const DeviceRun& run) {
    switch (RunStatus(run)) {
        case kExitSuccess:
            return "";
        case kExitNoDevice:
            return "no-device";
        case kExitUpdateFailed:
            if (run.result.error) {
                return UpdateErrorName(run.result.error->kind);
            }
            break;
        default:
            break;
    }
    return "cancelled";
}

std::string Records(const DeviceRun& run) {
    return std::to_string(run.result.recordsSent) + "/" + std::to_string(run.result.totalRecords);
}

// Renders one device's update on the board and decides, per device, whether it goes on.
class RunListener final : public UpdateListener {
  public:
    RunListener(DeviceBoard& board, std::size_t row, Clock& clock, Interrupts& interrupts,
                std::uint64_t timeoutMs)
        : board_(board), row_(row), clock_(clock), rule_(clock, interrupts, timeoutMs) {}

    void OnPhase(UpdatePhase phase) override {
        switch (phase) {
            case UpdatePhase::SwitchingToBootloader:
                switched_ = true;
                board_.Update(row_, "switching to bootloader");
                break;
            case UpdatePhase::WaitingForDevice:
                board_.Update(row_, "waiting for the bootloader");
                break;
            case UpdatePhase::Transferring:
                rule_.TransferStarted();
                transferStartMs_ = clock_.NowMs();
                break;
            case UpdatePhase::Finishing:
                board_.Update(row_, "finishing");
                break;
            case UpdatePhase::CheckingImage:
                break;
        }
    }
    void OnProgress(int sent, int total) override {
        if (total <= 0) {
            return;
        }
        // Redrawn once a percent: eight devices must not keep a terminal busy.
        const int percent = static_cast<int>(100LL * sent / total);
        if (percent == shownPercent_) {
            return;
        }
        shownPercent_ = percent;
        const int tenth = static_cast<int>(10LL * sent / total);
        const bool plain = tenth > loggedTenth_ || sent == 0;
        loggedTenth_ = std::max(loggedTenth_, tenth);
        const std::string text =
            "updating firmware" + ProgressText(sent, total, clock_.NowMs() - transferStartMs_);
        board_.Update(row_, text, plain);
    }
    std::optional<CancelCause> ShouldStop() override {
        const StopRule::Decision decision = rule_.Check();
        board_.Notice(decision.notice);
        return decision.stop;
    }
    bool Switched() const { return switched_; }

  private:
    DeviceBoard& board_;
    std::size_t row_;
    Clock& clock_;
    StopRule rule_;
    bool switched_ = false;
    std::uint64_t transferStartMs_ = 0;
    int loggedTenth_ = 0;
    int shownPercent_ = -1;
};

// The devices being flashed and flashed so far, one thread each.
class ProductionLine {
  public:
    ProductionLine(Session& session, const FlashOptions& options, const FirmwareImage& image,
                   JsonEvents& json)
        : session_(session),
          options_(options),
          image_(image),
          name_(Printable(options.image)),
          json_(json),
          board_(session.out, session.io.err, session.terminalOut) {
        json_.ShareLock(jsonLock_);
    }
    ~ProductionLine() { JoinAll(); }

    DeviceBoard& board() { return board_; }

    void Start(const HidInterfaceInfo& info, std::optional<std::string> serial) {
        DeviceRun& run = runs_.emplace_back();
        run.info = info;
        run.serial = std::move(serial);
        run.row = board_.Add(Printable(PlaceOf(info) + " " + run.serial.value_or("-")));
        run.startMs = session_.clock.NowMs();
        // Counted before it runs, so that a virtual clock waits for it from the start.
        session_.clock.ThreadStarted();
        run.thread = std::thread([this, &run] { Run(run); });
    }

    // The runs that have finished since the last call, joined.
    std::vector<const DeviceRun*> Reap() {
        std::vector<const DeviceRun*> done;
        for (DeviceRun& run : runs_) {
            if (run.finished && run.thread.joinable()) {
                run.thread.join();
                done.push_back(&run);
            }
        }
        return done;
    }

    void JoinAll() {
        for (DeviceRun& run : runs_) {
            if (run.thread.joinable()) {
                run.thread.join();
            }
        }
    }

    bool Running() const {
        return std::any_of(runs_.begin(), runs_.end(),
                           [](const DeviceRun& run) { return !run.finished; });
    }

    // The end table, the summary object and the exit status.
    int Finish() {
        JoinAll();
        int succeeded = 0;
        bool interrupted = false;
        for (const DeviceRun& run : runs_) {
            succeeded += RunStatus(run) == kExitSuccess ? 1 : 0;
            interrupted = interrupted || RunStatus(run) == kExitInterrupted;
        }
        const int failed = static_cast<int>(runs_.size()) - succeeded;
        const int status = failed == 0   ? kExitSuccess
                           : interrupted ? kExitInterrupted
                                         : kExitUpdateFailed;
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
            json_.Emit("summary", R"(,"devices":)" + std::to_string(runs_.size()) +
                                      R"(,"succeeded":)" + std::to_string(succeeded) +
                                      R"(,"failed":)" + std::to_string(failed) + R"(,"exit":)" +
                                      std::to_string(status));
        }
        return status;
    }

  private:
    void Run(DeviceRun& run) {
        RunListener listener(board_, run.row, session_.clock, session_.interrupts,
                             options_.timeoutMs);
        JsonEvents json(session_.io.out, session_.clock);
        json.SetInner(listener);
        json.SetDevice(PlaceOf(run.info));
        json.ShareLock(jsonLock_);
        DeviceState state;
        std::vector<UnusableDevice> unusable;
        if (!FindTheHid(session_.backend, state, &unusable, AtPlaceOf(run.info))) {
            run.problem = unusable.empty()
                              ? std::string("gone before it could be opened")
                              : "cannot be opened: " + OpenErrorText(unusable.front().error.kind());
        } else {
            if (options_.json) {
                json.Device(state, run.serial);
            }
            UpdateContext context{session_.backend,
                                  session_.clock,
                                  state,
                                  options_.json ? static_cast<UpdateListener&>(json) : listener,
                                  options_.image,
                                  name_,
                                  &image_,
                                  AtLocation(run.info.location)};
            run.result = UpdateFirmware(context);
            run.switched = listener.Switched();
        }
        run.endMs = session_.clock.NowMs();
        if (options_.json) {
            json.Result(run.problem.empty() ? run.result.outcome : UpdateOutcome::Failure,
                        RunStatus(run), run.result, ErrorName(run), Reason(run));
        }
        const std::string reason = Reason(run);
        board_.Finish(run.row, ResultName(run) + ", " + Records(run) + " records in " +
                                   MinutesSeconds(run.endMs - run.startMs) +
                                   (reason.empty() ? "" : ": " + reason));
        run.finished = true;
        session_.clock.ThreadEnded();
    }

    void PrintTable() {
        std::vector<std::vector<std::string>> rows{
            {"Location", "Serial", "Result", "Records", "Time", ""}};
        for (const DeviceRun& run : runs_) {
            rows.push_back({Printable(PlaceOf(run.info)), Printable(run.serial.value_or("-")),
                            ResultName(run), Records(run), MinutesSeconds(run.endMs - run.startMs),
                            Reason(run)});
        }
        std::vector<std::size_t> widths(rows.front().size(), 0);
        for (const auto& row : rows) {
            for (std::size_t column = 0; column < row.size(); ++column) {
                widths[column] = std::max(widths[column], row[column].size());
            }
        }
        std::ostream& out = session_.out;
        out << '\n';
        for (const auto& row : rows) {
            std::string line;
            for (std::size_t column = 0; column < row.size(); ++column) {
                line += row[column];
                if (column + 1 < row.size() && !row[column + 1].empty()) {
                    line += std::string(widths[column] - row[column].size() + 2, ' ');
                }
            }
            out << line << '\n';
        }
        out << std::flush;
    }

    Session& session_;
    const FlashOptions& options_;
    const FirmwareImage& image_;
    std::string name_;
    JsonEvents& json_;
    std::mutex jsonLock_;
    DeviceBoard board_;
    std::list<DeviceRun> runs_;  // stable addresses: each thread holds its own
};

}  // namespace

int FlashAll(Session& session, const FlashOptions& options, const FirmwareImage& image,
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
    if (velts.size() > 1 && std::any_of(velts.begin(), velts.end(),
                                        [](const auto& info) { return info.location.empty(); })) {
        // Without locations, a device back in bootloader mode cannot be told from another.
        session.io.err << kProgram
                       << ": --all needs each device's USB location, which this system does not "
                          "report; flash them one at a time with --device"
                       << std::endl;
        return kExitUsage;
    }
    std::string places;
    for (const HidInterfaceInfo& info : velts) {
        places += (places.empty() ? "" : ", ") + Printable(PlaceOf(info));
    }
    session.out << "Found " << velts.size() << (velts.size() == 1 ? " Velt-USB: " : " Velt-USBs: ")
                << places << std::endl;
    if (!Confirmed(session, options,
                   "Flash " + Printable(options.image) + " (" + RecordCount(image.wholeRecords()) +
                       ") to all " + std::to_string(velts.size()) + "?")) {
        return kExitInterrupted;
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
    ProductionLine line(session, options, image, json);
    // Holds a virtual clock until every device has started.
    session.clock.ThreadStarted();
    for (std::size_t index = 0; index < velts.size(); ++index) {
        line.Start(velts[index], serials[index]);
    }
    session.clock.ThreadEnded();
    return line.Finish();
}

int WatchAndFlash(Session& session, const FlashOptions& options, const FirmwareImage& image,
                  JsonEvents& json) {
    if (session.monitor == nullptr) {
        session.io.err << kProgram << ": --watch is not available on this platform" << std::endl;
        return kExitUsage;
    }
    if (!Confirmed(session, options,
                   "Flash " + Printable(options.image) + " (" + RecordCount(image.wholeRecords()) +
                       ") to every Velt-USB plugged in?")) {
        return kExitInterrupted;
    }
    // What the watch knows about each place a Velt-USB was seen at.
    struct Place {
        bool present = false;
        bool busy = false;       // its update is running
        bool settled = false;    // nothing more to do until it leaves
        bool leftAlone = false;  // present when a --new-only watch began
        bool doneHere = false;   // a device without a serial number was flashed here
        std::uint64_t goneMs = 0;
        std::optional<std::uint64_t> failingSinceMs;
    };
    std::map<std::string, Place> places;
    std::set<std::string> doneSerials;
    ProductionLine line(session, options, image, json);
    DeviceBoard& board = line.board();
    int done = 0;
    int failed = 0;
    const int pressed = session.interrupts.Count();
    board.Message(options.newOnly ? "Watching for Velt-USBs plugged in from now on; Ctrl-C stops."
                                  : "Watching for Velt-USBs; Ctrl-C stops.");

    // The watch sleeps on the clock too: a virtual one moves on only when it waits.
    session.clock.ThreadStarted();
    for (bool first = true; session.interrupts.Count() == pressed; first = false) {
        for (const DeviceRun* run : line.Reap()) {
            Place& place = places[PlaceOf(run->info)];
            place.busy = false;
            place.settled = true;  // still there, in whatever mode it was left
            if (RunStatus(*run) == kExitSuccess) {
                ++done;
                place.doneHere = !run->serial;
                if (run->serial) {
                    doneSerials.insert(*run->serial);
                }
            } else {
                ++failed;
            }
            board.Message(std::to_string(done) + " done, " + std::to_string(failed) + " failed");
        }
        const std::uint64_t now = session.clock.NowMs();
        std::set<std::string> present;
        for (const HidInterfaceInfo& info : VeltInterfaces(session.backend)) {
            const std::string key = PlaceOf(info);
            present.insert(key);
            Place& place = places[key];
            const bool returned = !place.present;
            place.present = true;
            if (first && options.newOnly) {
                place.leftAlone = true;
            }
            if (place.leftAlone || place.busy || place.settled) {
                continue;
            }
            std::optional<std::string> serial;
            try {
                serial = ReadSerialNumber(session.backend, info.path);
            } catch (const DeviceError& error) {
                // Its permissions may still be being set: tried again on the next wake.
                if (!place.failingSinceMs) {
                    place.failingSinceMs = now;
                } else if (now - *place.failingSinceMs >= kQuietRetryMs) {
                    board.Message(
                        Printable(key) + ": cannot be opened: " + OpenErrorText(error.kind()),
                        true);
                    place.settled = true;
                }
                continue;
            }
            place.failingSinceMs.reset();
            const bool again =
                serial ? doneSerials.count(*serial) > 0
                       : place.doneHere && (!returned || now - place.goneMs <= kAwayForNewMs);
            if (again) {
                board.Message(Printable(key + " " + serial.value_or("-")) + ": already done");
                if (options.json) {
                    json.Emit("already-done",
                              R"(,"device":)" + JsonString(key) +
                                  (serial ? R"(,"serial":)" + JsonString(*serial) : std::string()));
                }
                place.settled = true;
                continue;
            }
            place.busy = true;
            line.Start(info, serial);
        }
        for (auto& [key, place] : places) {
            if (place.present && present.count(key) == 0) {
                // Its update (if running) follows it; otherwise what comes back is looked at
                // afresh.
                const Place before = place;
                place = Place();
                place.busy = before.busy;
                place.doneHere = before.doneHere;
                place.goneMs = now;
            }
        }
        session.monitor->WaitForChange(kWatchWakeMs);
    }
    session.clock.ThreadEnded();
    if (line.Running()) {
        board.Message("Stopping the watch once the devices at work are done.");
    }
    return line.Finish();
}

}  // namespace velt::cli
