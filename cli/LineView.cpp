#include "cli/LineView.h"

#include <algorithm>
#include <map>
#include <vector>

#include "cli/DeviceFlash.h"
#include "cli/DeviceListing.h"
#include "cli/Progress.h"
#include "cli/RunListener.h"
#include "cli/Text.h"
#include "device/Discovery.h"
#include "line/FlashRecord.h"

namespace velt::cli {

namespace {

std::string Records(const line::DeviceRun& run) {
    return std::to_string(run.result.recordsSent) + "/" + std::to_string(run.result.totalRecords);
}

}  // namespace

// One device's row of the board and its own JsonEvents naming it.
class LineView::Row final : public line::RunReports {
  public:
    Row(LineView& view, const line::DeviceRun& run)
        : view_(view),
          run_(run),
          row_(view.board_.Add(Printable(PlaceOf(run.info) + " " + run.serial.value_or("-")))),
          listener_(view.board_, row_, view.session_.clock, view.session_.interrupts,
                    view.options_.timeoutMs),
          json_(view.session_.io.out, view.session_.clock) {
        json_.SetDevice(PlaceOf(run.info));
        json_.ShareLock(view.jsonLock_);
        json_.SetInner(listener_);
    }

    UpdateListener& Opened(const OpenDevice& velt) override {
        if (!view_.options_.json) {
            return listener_;
        }
        json_.Device(velt, run_.serial);
        return json_;
    }

    void RecordFailed(const std::string& message) override {
        const std::string unrecorded = std::string(kProgram) + ": " + message;
        if (view_.options_.json) {
            json_.Emit("record-failed", {{"message", unrecorded}});
        }
        view_.board_.Message(unrecorded, true);
    }

    void Ended(const Outcome& outcome) override {
        if (view_.options_.json) {
            Outcome told = outcome;
            told.exitStatus = RecordedStatus(outcome.exitStatus, run_.unrecorded);
            json_.Result(told, run_.result, outcome.reason);
        }
        view_.board_.Finish(row_, std::string(outcome.result) + ", " + Records(run_) +
                                      " records in " + MinutesSeconds(run_.endMs - run_.startMs) +
                                      (outcome.reason.empty() ? "" : ": " + outcome.reason));
    }

  private:
    LineView& view_;
    const line::DeviceRun& run_;
    std::size_t row_;
    RunListener listener_;
    JsonEvents json_;
};

LineView::LineView(Session& session, const FlashOptions& options, JsonEvents& json)
    : session_(session),
      options_(options),
      json_(json),
      board_(session.out, session.io.err, session.terminalOut),
      pressed_(session.interrupts.Count()) {
    json_.ShareLock(jsonLock_);
}

std::unique_ptr<line::RunReports> LineView::Starting(const line::DeviceRun& run) {
    return std::make_unique<Row>(*this, run);
}

void LineView::Reaped(const line::DeviceRun& run) {
    ++(run.outcome().exitStatus == kExitSuccess ? done_ : failed_);
    board_.Message(std::to_string(done_) + " done, " + std::to_string(failed_) + " failed");
}

void LineView::AlreadyDone(const std::string& /*key*/, const HidInterfaceInfo& info,
                           const std::optional<std::string>& serial, bool recorded) {
    board_.Message(Printable(PlaceOf(info) + " " + serial.value_or("-")) + ": already done" +
                   (recorded ? " (record)" : ""));
    if (options_.json) {
        Json fields{{"device", PlaceOf(info)}};
        if (serial) {
            fields["serial"] = *serial;
        }
        if (recorded) {
            fields["record"] = true;
        }
        json_.Emit("already-done", fields);
    }
}

int LineView::Finish(line::ProductionLine& line) {
    line.JoinAll();
    const auto& runs = line.runs();
    std::vector<int> statuses;
    for (const line::DeviceRun& run : runs) {
        statuses.push_back(run.outcome().exitStatus);
    }
    const int succeeded =
        static_cast<int>(std::count(statuses.begin(), statuses.end(), kExitSuccess));
    const int failed = static_cast<int>(runs.size()) - succeeded;
    const int status = CombinedStatus(statuses, line.Unrecorded());
    if (!runs.empty()) {
        PrintTable(line);
    }
    session_.out << succeeded << " of " << runs.size() << " devices flashed"
                 << (failed > 0 ? ", " + std::to_string(failed) + " not" : std::string()) << '.'
                 << std::endl;
    if (options_.json) {
        if (session_.beforeLast) {
            session_.beforeLast(UpdateOutcome::None);
        }
        json_.Emit("summary", {{"devices", runs.size()},
                               {"succeeded", succeeded},
                               {"failed", failed},
                               {"exit", status}});
    }
    return status;
}

void LineView::PrintTable(const line::ProductionLine& line) {
    std::vector<std::vector<std::string>> rows{
        {"Location", "Serial", "Result", "Records", "Time", ""}};
    for (const line::DeviceRun& run : line.runs()) {
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
    LineView view(session, options, json);
    line::ProductionLine line(session.backend, session.clock, image, session.recorder, view);
    // Holds a virtual clock until every device has started.
    session.clock.ThreadStarted();
    for (std::size_t index = 0; index < velts.size(); ++index) {
        line.Start(velts[index], serials[index]);
    }
    session.clock.ThreadEnded();
    return view.Finish(line);
}

}  // namespace velt::cli
