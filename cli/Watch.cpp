#include "cli/Watch.h"

#include <map>
#include <optional>
#include <set>

#include "cli/DeviceListing.h"
#include "cli/FlashRecord.h"
#include "cli/Json.h"
#include "cli/ProductionLine.h"
#include "cli/Text.h"
#include "device/Discovery.h"
#include "device/VeltProtocol.h"

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

// Where the system tells no location (wine's HID stack), a device is known by its serial
// number, which stays the same while its path changes with every re-enumeration.
std::string WatchKey(const HidInterfaceInfo& info, const std::optional<std::string>& serial) {
    return info.location.empty() && serial ? "serial " + *serial : PlaceOf(info);
}

}  // namespace

int WatchAndFlash(Session& session, const FlashOptions& options, const ImageLoad& image,
                  JsonEvents& json) {
    if (session.monitor == nullptr) {
        session.io.err << kProgram << ": --watch is not available on this platform" << std::endl;
        return kExitUsage;
    }
    if (!ConfirmFlash(session, options, *image.image, "every Velt-USB plugged in")) {
        return kExitInterrupted;
    }
    std::map<std::string, Place> places;
    std::set<std::string> doneSerials;
    ProductionLine line(session, options, image, json);
    DeviceBoard& board = line.board();
    // Done with this image as the record says, by an earlier watch or another one appending
    // to it: a restarted watch, or one a device was moved to, leaves them alone unless told
    // --again.
    std::optional<RecordedDone> recordDone;
    FlashRecorder* const recorder = session.recorder;
    const auto damaged = [&](std::size_t number) {
        board.Message(Printable(recorder->path()) + " line " + std::to_string(number) +
                          " is not a whole record entry (cut off or damaged); skipped",
                      true);
    };
    if (recorder != nullptr && !options.again) {
        const RecordRead read =
            recordDone.emplace(recorder->path(), recorder->sha256()).ReadOn(damaged);
        if (read.status != RecordRead::Status::Ok) {
            session.io.err << kProgram << ": the record " << Printable(recorder->path())
                           << " cannot be read: " << read.error << std::endl;
            return kExitUsage;
        }
    }
    bool readOnFailed = false;
    // What other processes appended since, read before a device is decided on.
    const auto readOn = [&] {
        const RecordRead read = recordDone->ReadOn(damaged);
        if (read.status != RecordRead::Status::Ok && !readOnFailed) {
            readOnFailed = true;
            board.Message("the record " + Printable(recorder->path()) + " cannot be read on: " +
                              read.error + "; what was read before decides",
                          true);
        }
    };
    const auto unrecorded = [&] { return recorder != nullptr && recorder->Failed(); };
    int done = 0;
    int failed = 0;
    const int pressed = session.interrupts.Count();
    board.Message(options.newOnly ? "Watching for Velt-USBs plugged in from now on; Ctrl-C stops."
                                  : "Watching for Velt-USBs; Ctrl-C stops.");

    // The watch sleeps on the clock too: a virtual one moves on only when it waits.
    session.clock.ThreadStarted();
    for (bool first = true; session.interrupts.Count() == pressed && !unrecorded(); first = false) {
        for (const DeviceRun* run : line.Reap()) {
            Place& place = places[WatchKey(run->info, run->serial)];
            place.busy = false;
            place.settled = true;  // still there, in whatever mode it was left
            if (run->outcome().exitStatus == kExitSuccess) {
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
            std::optional<std::string> serial;
            bool asked = false;
            if (info.location.empty()) {
                try {
                    serial = ReadSerialNumber(session.backend, info.path);
                    asked = true;
                } catch (const DeviceError&) {
                    // Asked again below, where a failure is handled.
                }
            }
            const std::string key = WatchKey(info, serial);
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
            try {
                if (!asked) {
                    serial = ReadSerialNumber(session.backend, info.path);
                }
            } catch (const DeviceError& error) {
                // Its permissions may still be being set: tried again on the next wake.
                if (!place.failingSinceMs) {
                    place.failingSinceMs = now;
                } else if (now - *place.failingSinceMs >= kQuietRetryMs) {
                    board.Message(Printable(PlaceOf(info)) +
                                      ": cannot be opened: " + OpenErrorText(error.kind()),
                                  true);
                    place.settled = true;
                }
                continue;
            }
            place.failingSinceMs.reset();
            // In its bootloader a device runs no firmware, whatever was done before.
            const bool noFirmware = info.productId == protocol::bootloaderProductId;
            if (recordDone && serial && !noFirmware) {
                readOn();
            }
            const bool doneThisWatch = serial && doneSerials.count(*serial) > 0;
            // With a record, its latest entry decides: another station may have failed the
            // device since this watch flashed it.
            const bool again =
                !noFirmware &&
                (serial ? (recordDone ? recordDone->Done(*serial) : doneThisWatch)
                        : place.doneHere && (!returned || now - place.goneMs <= kAwayForNewMs));
            const bool recorded = again && serial && !doneThisWatch;
            if (again) {
                board.Message(Printable(PlaceOf(info) + " " + serial.value_or("-")) +
                              ": already done" + (recorded ? " (record)" : ""));
                if (options.json) {
                    Json fields{{"device", PlaceOf(info)}};
                    if (serial) {
                        fields["serial"] = *serial;
                    }
                    if (recorded) {
                        fields["record"] = true;
                    }
                    json.Emit("already-done", fields);
                }
                place.settled = true;
                continue;
            }
            if (unrecorded()) {
                break;  // no device is flashed without its record
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
    if (unrecorded()) {
        board.Message("The watch stops: no Velt-USB is flashed without its record.", true);
    }
    if (line.Running()) {
        board.Message("Stopping the watch once the devices at work are done.");
    }
    return line.Finish();
}

}  // namespace velt::cli
