#include "line/ProductionLine.h"

#include <algorithm>

#include "update/UpdateSequence.h"

namespace velt::line {

std::string PlaceOf(const HidInterfaceInfo& info) {
    return info.location.empty() ? info.path : info.location;
}

std::string KeyOf(const HidInterfaceInfo& info, const std::optional<std::string>& serial) {
    return info.location.empty() && serial ? "serial " + *serial : PlaceOf(info);
}

std::string OpenErrorText(DeviceErrorKind error) {
    switch (error) {
        case DeviceErrorKind::PermissionDenied:
            return "permission denied";
        case DeviceErrorKind::Busy:
            return "in use by another program";
        case DeviceErrorKind::Disconnected:
            return "gone";
        case DeviceErrorKind::Refused:
        case DeviceErrorKind::Io:
        case DeviceErrorKind::NotSupported:
            break;
    }
    return "cannot be opened";
}

void UpdateDevice(HidBackend& backend, Clock& clock, const ImageLoad& image, OpenDevice& velt,
                  DeviceFilter following, UpdateListener& listener, FlashedDevice& device) {
    device.versionBefore = velt.info.version;
    UpdateContext context{backend, clock, velt, listener, image, std::move(following)};
    device.result = UpdateFirmware(context);
    device.endMs = clock.NowMs();
}

Outcome DeviceRun::outcome() const {
    return problem.empty() ? OutcomeOf(result) : OutcomeOf(Refusal::Unopened, problem);
}

ProductionLine::ProductionLine(HidBackend& backend, Clock& clock, const ImageLoad& image,
                               FlashRecorder* recorder, LineListener& listener)
    : backend_(backend), clock_(clock), image_(image), recorder_(recorder), listener_(listener) {}

void ProductionLine::Start(const HidInterfaceInfo& info, std::optional<std::string> serial) {
    DeviceRun& run = runs_.emplace_back();
    run.info = info;
    run.serial = std::move(serial);
    run.key = KeyOf(info, run.serial);
    run.reports = listener_.Starting(run);
    run.startMs = clock_.NowMs();
    // Counted before it runs, so that a virtual clock waits for it from the start.
    clock_.ThreadStarted();
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

void ProductionLine::Run(DeviceRun& run) {
    OpenDevice velt;
    std::vector<UnusableDevice> unusable;
    if (!OpenFirstVelt(backend_, velt, &unusable, AtPlaceOf(run.info))) {
        run.problem = unusable.empty()
                          ? std::string("gone before it could be opened")
                          : "cannot be opened: " + OpenErrorText(unusable.front().error.kind());
        run.endMs = clock_.NowMs();
    } else {
        UpdateListener& listener = run.reports->Opened(velt);
        UpdateDevice(backend_, clock_, image_, velt,
                     Following(backend_, run.info.location, run.serial), listener, run);
    }
    const Outcome outcome = run.outcome();
    // On disk before its result is told, so that the result counts a lost entry.
    if (recorder_ != nullptr) {
        const std::string lost =
            RecordEnd(*recorder_, run.info, run.serial, run.versionBefore,
                      ResultFields(outcome, run.result, outcome.reason), run.endMs - run.startMs);
        if (!lost.empty()) {
            run.unrecorded = true;
            run.reports->RecordFailed(lost);
        }
    }
    run.reports->Ended(outcome);
    run.finished = true;
    clock_.ThreadEnded();
}

}  // namespace velt::line
