#include "cli/Flash.h"

#include <optional>

#include "cli/DeviceFlash.h"
#include "cli/DeviceListing.h"
#include "cli/JsonEvents.h"
#include "cli/LineView.h"
#include "cli/TerminalReporter.h"
#include "cli/Text.h"
#include "cli/Watch.h"
#include "device/Discovery.h"
#include "device/IdentityText.h"
#include "device/PlatformWords.h"
#include "device/VeltProtocol.h"
#include "line/FlashRecord.h"
#include "platform/Sha256.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"

namespace velt::cli {

namespace {

void ReportUnusable(Session& session, const std::vector<UnusableDevice>& unusable) {
    for (const UnusableDevice& device : unusable) {
        session.io.err << "  " << Printable(device.info.path) << ": "
                       << OpenErrorText(device.error.kind()) << '\n';
        if (device.error.kind() == DeviceErrorKind::PermissionDenied) {
            session.io.err << "  hint: " << PermissionHint() << '\n';
        }
    }
}

// Discovery, polling every 100 ms while --wait allows. Returns an exit status when no
// device is to be had, with the words said in `message`.
std::optional<int> Discover(Session& session, const FlashOptions& options, OpenDevice& velt,
                            std::string& message) {
    std::vector<UnusableDevice> unusable;
    std::vector<NamedDevice> named;
    const auto status = WaitForDevice(session, options.waitMs, [&] {
        unusable.clear();
        if (options.device.empty()) {
            return OpenFirstVelt(session.backend, velt, &unusable);
        }
        // Chosen by name; from then on followed by its place, whatever path it gets.
        named = DevicesNamed(session.backend, options.device);
        return named.size() > 1 ||
               (named.size() == 1 &&
                OpenFirstVelt(session.backend, velt, &unusable, AtPlaceOf(named.front().info)));
    });
    if (named.size() > 1) {
        // Flashing either could write the wrong device: the person says which.
        const std::string name = Printable(options.device);
        message = "'" + name + "' names more than one Velt-USB:";
        std::string forms;
        for (const NamedDevice& device : named) {
            message += " the one at " + Printable(PlaceOf(device.info)) + " by its " +
                       device.kind.by + (&device == &named.back() ? ";" : ",");
            const std::string form = device.kind.prefix + name;
            if (forms.find(form) == forms.npos) {
                forms += (forms.empty() ? "" : " or ") + form;
            }
        }
        message += " say " + forms + ". Nothing was flashed.";
        session.io.err << kProgram << ": " << message << std::endl;
        return kExitUsage;
    }
    if (status == kExitNoDevice) {
        if (options.device.empty()) {
            message = "no Velt-USB found";
            session.io.err << kProgram << ": " << message << std::endl;
        } else {
            message = "no Velt-USB at '" + Printable(options.device) + "'";
            session.io.err << kProgram << ": " << message
                           << " (a location, path or serial number as `list` shows them)"
                           << std::endl;
        }
        ReportUnusable(session, unusable);
    }
    if (status == kExitInterrupted) {
        message = "interrupted";
    }
    return status;
}

}  // namespace

int Flash(Session& session, const FlashOptions& options, UpdateOutcome& outcome) {
    std::ostream& out = session.out;
    std::ostream& err = session.io.err;
    JsonEvents json(session.io.out, session.clock);
    // Every way out before the update: the exit status, and with --json the result line.
    const auto before = [&](Refusal refusal, const std::string& message) {
        const Outcome refused = OutcomeOf(refusal, message);
        if (options.json) {
            if (session.beforeLast) {
                session.beforeLast(UpdateOutcome::None);
            }
            json.Result(refused, {}, refused.brief);
        }
        return refused.exitStatus;
    };

    // Read and checked once; the update sends exactly these bytes.
    const std::string name = Printable(options.image);
    const ImageLoad load = LoadFirmwareImage(options.image, name);
    if (!load.image) {
        err << kProgram << ": " << load.message << std::endl;
        return before(Refusal::ImageUnusable, load.message);
    }
    const FirmwareImage& image = *load.image;
    // Before anything is sent, so that it can be checked against the published digest.
    const std::string sha256 = Sha256Hex(image.bytes());
    out << "Image " << name << ": " << WithThousands(image.size()) << " bytes, "
        << RecordCount(image.wholeRecords()) << ", SHA-256 " << sha256 << std::endl;
    if (options.json) {
        json.Image(options.image, image, sha256);
    }
    if (!options.expectSha256.empty() && options.expectSha256 != sha256) {
        const std::string message = name + " is not the expected image: its SHA-256 is " + sha256 +
                                    ", not " + options.expectSha256 + ". Nothing was flashed.";
        err << kProgram << ": " << message << std::endl;
        return before(Refusal::ImageDigest, message);
    }
    if (const auto rest = image.remainder(); rest != 0) {
        err << "warning: the last " << rest << " bytes of " << name << " do not fill a "
            << protocol::recordSize << "-byte record and will not be sent" << std::endl;
    }
    // A factory must not flash what it cannot record: the record is tried first.
    std::optional<FlashRecorder> recorder;
    if (!options.record.empty()) {
        recorder.emplace(options.record, options.image, image.size(), sha256);
        if (const std::string error = recorder->Check(); !error.empty()) {
            const std::string message =
                "the record " + Printable(options.record) + " cannot be written: " + error;
            err << kProgram << ": " << message << ". Nothing was flashed." << std::endl;
            return before(Refusal::RecordUnwritable, message);
        }
        session.recorder = &*recorder;
    }
    if (options.all) {
        return FlashAll(session, options, load, json);
    }
    if (options.watch) {
        return WatchAndFlash(session, options, load, json);
    }

    OpenDevice velt;
    std::string missing;
    if (const auto status = Discover(session, options, velt, missing)) {
        return before(*status == kExitNoDevice ? Refusal::NoDevice
                      : *status == kExitUsage  ? Refusal::AmbiguousDevice
                                               : Refusal::Interrupted,
                      missing);
    }
    const HidInterfaceInfo& found = velt.info;
    out << "Found the Velt-USB at " << Printable(found.path)
        << (found.location.empty() ? "" : " (" + Printable(found.location) + ")") << ": "
        << ModeName(found.productId) << " mode, " << Hex4(found.vendorId) << ':'
        << Hex4(found.productId) << ", version" << FormatVersion(found.version) << std::endl;
    if (options.json) {
        json.Device(velt);
    }
    if (!ConfirmFlash(session, options, image, "the Velt-USB at " + Printable(found.path))) {
        return kExitInterrupted;
    }

    TerminalReporter::Settings settings;
    settings.redraw = session.terminalOut;
    settings.timeoutMs = options.timeoutMs;
    TerminalReporter reporter(out, err, session.clock, session.interrupts, settings);
    // Followed by its location (its serial number where there is none), so that another
    // Velt-USB coming back in bootloader mode first is never taken for it.
    DeviceFilter following = Following(session.backend, velt);
    FlashedDevice device;
    device.info = found;
    if (recorder) {
        device.serial = SerialNumberOf(velt);
    }
    device.startMs = session.clock.NowMs();
    UpdateDevice(session, options, load, velt, std::move(following), reporter, json, device);
    const UpdateResult& result = device.result;
    outcome = result.outcome;
    const Outcome said = OutcomeOf(result, options.timeoutText);
    const std::string unrecorded = RecordDevice(session, options, json, device, said, said.brief);
    switch (result.outcome) {
        case UpdateOutcome::Success:
            out << "Done: " << RecordCount(static_cast<std::uint64_t>(result.recordsSent)) << " ("
                << WithThousands(static_cast<std::uint64_t>(result.recordsSent) *
                                 protocol::recordSize)
                << " bytes) written to the Velt-USB." << std::endl;
            break;
        case UpdateOutcome::Failure:
            break;  // the reporter said why
        case UpdateOutcome::None:
            err << kProgram << ": " << said.brief << std::endl;
            break;
        case UpdateOutcome::Cancelled:
            // What went wrong is said in the program's name; a stop the user asked for is not.
            err << (result.cause == CancelCause::Timeout ? std::string(kProgram) + ": " : "")
                << said.cancelText << std::endl;
            break;
    }
    // Flashed but not recorded is not done as asked.
    Outcome told = said;
    told.exitStatus = RecordedStatus(said.exitStatus, !unrecorded.empty());
    if (!unrecorded.empty()) {
        err << unrecorded << std::endl;
    }
    if (options.json) {
        if (session.beforeLast) {
            session.beforeLast(result.outcome);
        }
        json.Result(told, result, said.brief);
    }
    return told.exitStatus;
}

}  // namespace velt::cli
