#include "line/Watch.h"

#include "device/Discovery.h"
#include "device/VeltProtocol.h"
#include "platform/Utf8.h"

namespace velt::line {

namespace {

// A watch wakes this often without device events, to retry a device it could not open
// yet (its permissions may still be being set) and to notice it is to stop.
constexpr std::uint32_t kWatchWakeMs = 1000;
// How long a watch keeps quietly retrying a device it cannot open before it says so.
constexpr std::uint64_t kQuietRetryMs = 2000;

}  // namespace

Watch::Watch(ProductionLine& line, LineListener& listener, WatchOptions options)
    : line_(line), listener_(listener), options_(options) {}

RecordRead Watch::ReadRecord() {
    FlashRecorder* const recorder = line_.recorder();
    if (recorder == nullptr || options_.again) {
        return {};
    }
    return recordDone_.emplace(recorder->path(), recorder->sha256())
        .ReadOn([this](std::size_t number) { Damaged(number); });
}

void Watch::Damaged(std::size_t number) {
    listener_.Message(Printable(line_.recorder()->path()) + " line " + std::to_string(number) +
                          " is not a whole record entry (cut off or damaged); skipped",
                      true);
}

void Watch::ReadOn() {
    const std::string& path = line_.recorder()->path();
    const RecordRead read = recordDone_->ReadOn([this](std::size_t number) { Damaged(number); });
    if (read.status != RecordRead::Status::Ok && !readOnFailed_) {
        readOnFailed_ = true;
        listener_.Message("the record " + Printable(path) + " cannot be read on: " + read.error +
                              "; what was read before decides",
                          true);
    }
}

void Watch::Run(DeviceMonitor& monitor) {
    // The watch sleeps on the clock too: a virtual one moves on only when it waits.
    line_.clock().ThreadStarted();
    while (listener_.GoOn() && !line_.Unrecorded()) {
        Look();
        monitor.WaitForChange(kWatchWakeMs);
    }
    line_.clock().ThreadEnded();
}

void Watch::Reap() {
    for (const DeviceRun* run : line_.Reap()) {
        Place& place = places_[run->key];
        place.busy = false;
        place.settled = true;  // still there, in whatever mode it was left
        if (run->outcome().exitStatus == kExitSuccess) {
            place.doneHere = !run->serial;
            if (run->serial) {
                doneSerials_.insert(*run->serial);
            }
        }
        listener_.Reaped(*run);
    }
}

void Watch::Look() {
    Reap();
    const std::uint64_t now = line_.clock().NowMs();
    std::set<std::string> present;
    for (const HidInterfaceInfo& info : VeltInterfaces(line_.backend())) {
        if (!Decide(info, present, now)) {
            break;  // no device is flashed without its record
        }
    }
    for (auto& [key, place] : places_) {
        if (place.present && present.count(key) == 0) {
            // Its update (if running) follows it; otherwise what comes back is looked at
            // afresh.
            const Place before = place;
            place = Place();
            place.busy = before.busy;
            place.doneHere = before.doneHere;
            place.goneMs = now;
            listener_.Gone(key);
        }
    }
    first_ = false;
}

bool Watch::Decide(const HidInterfaceInfo& info, std::set<std::string>& present,
                   std::uint64_t now) {
    HidBackend& backend = line_.backend();
    std::optional<std::string> serial;
    bool asked = false;
    if (info.location.empty()) {
        try {
            serial = ReadSerialNumber(backend, info.path);
            asked = true;
        } catch (const DeviceError&) {
            // Asked again below, where a failure is handled.
        }
    }
    const std::string key = KeyOf(info, serial);
    present.insert(key);
    Place& place = places_[key];
    const bool returned = !place.present;
    place.present = true;
    if (returned) {
        listener_.Seen(key, info);
    }
    if (first_ && options_.newOnly) {
        place.leftAlone = true;
    }
    if (place.leftAlone || place.busy || place.settled) {
        return true;
    }
    try {
        if (!asked) {
            serial = ReadSerialNumber(backend, info.path);
        }
    } catch (const DeviceError& error) {
        // Its permissions may still be being set: tried again on the next look.
        if (!place.failingSinceMs) {
            place.failingSinceMs = now;
        } else if (now - *place.failingSinceMs >= kQuietRetryMs) {
            listener_.Message(
                Printable(PlaceOf(info)) + ": cannot be opened: " + OpenErrorText(error.kind()),
                true);
            place.settled = true;
        }
        return true;
    }
    place.failingSinceMs.reset();
    // In its bootloader a device runs no firmware, whatever was done before.
    const bool noFirmware = info.productId == protocol::bootloaderProductId;
    if (recordDone_ && serial && !noFirmware) {
        ReadOn();
    }
    const bool doneThisWatch = serial && doneSerials_.count(*serial) > 0;
    // With a record, its latest entry decides: another station may have failed the device
    // since this watch flashed it.
    const bool again =
        !noFirmware &&
        (serial ? (recordDone_ ? recordDone_->Done(*serial) : doneThisWatch)
                : place.doneHere && (!returned || now - place.goneMs <= kAwayForNewMs));
    if (again) {
        listener_.AlreadyDone(key, info, serial, serial && !doneThisWatch);
        place.settled = true;
        return true;
    }
    if (line_.Unrecorded()) {
        return false;
    }
    place.busy = true;
    line_.Start(info, serial);
    return true;
}

}  // namespace velt::line
