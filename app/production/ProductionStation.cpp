#include "app/production/ProductionStation.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "device/IdentityText.h"
#include "line/StopRule.h"
#include "platform/Sha256.h"
#include "platform/Utf8.h"
#include "update/Outcome.h"
#include "update/UpdateListener.h"

namespace velt::production {

namespace {

constexpr std::uint32_t kTimerMs = 100;
// Without a word from the device monitor, the bus is looked at this often anyway, to retry a
// device that could not be opened yet.
constexpr std::uint64_t kLookEveryMs = 1000;
// The wait for a device to come back in its bootloader, as the command line's default.
constexpr std::uint64_t kBootloaderTimeoutMs = 30'000;

constexpr const char* kArmTitle = "Arm";
constexpr const char* kDisarmTitle = "Disarm";
constexpr const char* kRecordTitle = "Record Error";

bool Same(const Tile& a, const Tile& b) {
    return a.location == b.location && a.serial == b.serial && a.versionBefore == b.versionBefore &&
           a.state == b.state && a.percent == b.percent && a.reason == b.reason;
}

bool Same(const std::vector<Tile>& a, const std::vector<Tile>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Tile& x, const Tile& y) { return Same(x, y); });
}

bool Same(const Counters& a, const Counters& b) {
    return a.passed == b.passed && a.failed == b.failed && a.alreadyDone == b.alreadyDone &&
           a.expected == b.expected;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

// One device's update as its tile shows it; on the device's own thread.
class ProductionStation::DeviceReports final : public line::RunReports, public UpdateListener {
  public:
    DeviceReports(ProductionStation& station, std::string key, line::Interrupts& stops)
        : station_(station),
          key_(std::move(key)),
          rule_(station.clock_, stops, kBootloaderTimeoutMs) {}

    UpdateListener& Opened(const OpenDevice& velt) override {
        Change(
            [&](Tile& tile) { tile.versionBefore = FormatVersion(velt.info.version).substr(1); });
        return *this;
    }
    void RecordFailed(const std::string& message) override {
        std::lock_guard<std::mutex> hold(station_.lock_);
        unrecorded_ = true;
        station_.recordFailed_ = true;
        if (station_.recordFailure_.empty()) {
            station_.recordFailure_ = message;
        }
    }
    void Ended(const Outcome& outcome) override {
        std::lock_guard<std::mutex> hold(station_.lock_);
        station_.ended_ = true;
        Place* place = station_.Find(key_);
        // Flashed without its entry is not done as the station was asked, as the command
        // line's status says too: the operator must not take it for a recorded pass.
        const bool passed = outcome.exitStatus == kExitSuccess && !unrecorded_;
        ++(passed ? station_.counters_.passed : station_.counters_.failed);
        if (place != nullptr) {
            place->busy = false;
            place->tile.state = passed ? TileState::Passed : TileState::Failed;
            place->tile.reason = passed                               ? std::string()
                                 : outcome.exitStatus == kExitSuccess ? "flashed, not recorded"
                                                                      : FewWords(outcome);
        }
    }

    void OnPhase(UpdatePhase phase) override {
        if (phase == UpdatePhase::Transferring) {
            rule_.TransferStarted();
        }
        Change([&](Tile& tile) {
            switch (phase) {
                case UpdatePhase::CheckingImage:
                case UpdatePhase::SwitchingToBootloader:
                case UpdatePhase::WaitingForDevice:
                    tile.state = TileState::Waiting;
                    break;
                case UpdatePhase::Transferring:
                    tile.state = TileState::Writing;
                    tile.percent = 0;
                    break;
                case UpdatePhase::Finishing:
                    tile.state = TileState::Writing;
                    tile.percent = 100;
                    break;
            }
        });
    }
    void OnProgress(int sent, int total) override {
        if (total > 0) {
            Change([&](Tile& tile) { tile.percent = sent * 100 / total; });
        }
    }
    std::optional<CancelCause> ShouldStop() override { return rule_.Check().stop; }

  private:
    template <typename Edit>
    void Change(Edit edit) {
        std::lock_guard<std::mutex> hold(station_.lock_);
        if (Place* place = station_.Find(key_)) {
            edit(place->tile);
        }
    }

    ProductionStation& station_;
    std::string key_;
    line::StopRule rule_;
    bool unrecorded_ = false;  // under the station's lock
};

ProductionStation::ProductionStation(ProductionWindow& window, HidBackend& backend, Clock& clock,
                                     DeviceMonitor* monitor, Setup initial, bool armAtStart)
    : window_(window),
      backend_(backend),
      clock_(clock),
      monitor_(monitor),
      setup_(std::move(initial)),
      armAtStart_(armAtStart) {
    counters_.expected = setup_.expected;
}

ProductionStation::~ProductionStation() {
    if (shift_) {
        // Devices still being written finish first; the threads hold this station.
        shift_->stops.Interrupt();
        shift_->line->JoinAll();
    }
}

int ProductionStation::exitStatus() const {
    std::lock_guard<std::mutex> hold(lock_);
    return recordFailed_ ? kExitUpdateFailed : kExitSuccess;
}

void ProductionStation::OnLoad() {
    LoadImage();
    window_.ShowSetup(setup_);
    window_.ShowArmed(false, image_.image.has_value());
    Show();
    window_.StartTimer(kTimerMs);
    if (armAtStart_) {
        Arm();
    }
}

void ProductionStation::LoadImage() {
    image_ = {};
    sha256_.clear();
    if (setup_.image.empty()) {
        setup_.imageFacts = "No image chosen";
        return;
    }
    image_ = LoadFirmwareImage(setup_.image, Printable(setup_.image));
    if (!image_.image) {
        setup_.imageFacts = image_.message;
        return;
    }
    const FirmwareImage& image = *image_.image;
    sha256_ = Sha256Hex(image.bytes());
    setup_.imageFacts = WithThousands(image.size()) + " bytes, " +
                        WithThousands(image.wholeRecords()) + " records, SHA-256 " + sha256_;
}

void ProductionStation::OnImageChosen(const std::string& path) {
    if (armed_ || closing_) {
        return;
    }
    setup_.image = path;
    LoadImage();
    window_.ShowSetup(setup_);
    window_.ShowArmed(false, image_.image.has_value());
}

void ProductionStation::OnSetupEdited(const Setup& setup) {
    if (armed_ || closing_) {
        return;
    }
    const bool imageChanged = setup.image != setup_.image;
    setup_.expectedSha256 = setup.expectedSha256;
    setup_.record = setup.record;
    setup_.station = setup.station;
    setup_.expected = setup.expected;
    {
        std::lock_guard<std::mutex> hold(lock_);
        counters_.expected = setup.expected;
    }
    if (imageChanged) {
        OnImageChosen(setup.image);
    }
}

bool ProductionStation::Writing() const {
    return shift_ && shift_->line->Running();
}

void ProductionStation::Arm() {
    if (!image_.image) {
        return;
    }
    if (monitor_ == nullptr) {
        window_.Alert(
            "This system does not tell when Velt-USBs are plugged in, so the station "
            "cannot watch for them.",
            kArmTitle);
        return;
    }
    if (Writing()) {
        window_.Alert("A Velt-USB is still being written; arm again once it is done.", kArmTitle);
        return;
    }
    const std::string expected = Lower(setup_.expectedSha256);
    if (!expected.empty() && expected != sha256_) {
        window_.Alert(Printable(setup_.image) + " is not the expected image: its SHA-256 is " +
                          sha256_ + ", not " + Printable(expected) + ". The station is not armed.",
                      "Image Mismatch");
        return;
    }
    // Armed again as it was, the station goes on with what it knows: a device done before
    // it was disarmed is done still.
    const bool same = shift_ && !shift_->line->Unrecorded() && shift_->sha256 == sha256_ &&
                      shift_->record == setup_.record && shift_->station == setup_.station;
    if (same && shift_->recorder) {
        if (const std::string error = shift_->recorder->Check(); !error.empty()) {
            window_.Alert("The record " + Printable(setup_.record) +
                              " cannot be written: " + error + ". The station is not armed.",
                          kRecordTitle);
            return;
        }
    }
    if (!same && !NewShift()) {
        return;
    }
    {
        std::lock_guard<std::mutex> hold(lock_);
        note_.clear();
        recordFailure_.clear();
        failureShown_ = false;
    }
    armed_ = true;
    window_.ShowArmed(true, true);
    Look();
    Show();
}

bool ProductionStation::NewShift() {
    auto shift = std::make_unique<Shift>();
    shift->image = image_;
    shift->sha256 = sha256_;
    shift->record = setup_.record;
    shift->station = setup_.station;
    if (!setup_.record.empty()) {
        shift->recorder = std::make_unique<line::FlashRecorder>(
            setup_.record, setup_.image, shift->image.image->size(), sha256_, setup_.station);
        if (const std::string error = shift->recorder->Check(); !error.empty()) {
            window_.Alert("The record " + Printable(setup_.record) +
                              " cannot be written: " + error + ". The station is not armed.",
                          kRecordTitle);
            return false;
        }
    }
    line::LineListener& listener = *this;
    shift->line = std::make_unique<line::ProductionLine>(backend_, clock_, shift->image,
                                                         shift->recorder.get(), listener);
    shift->watch = std::make_unique<line::Watch>(*shift->line, listener, line::WatchOptions{});
    if (const line::RecordRead read = shift->watch->ReadRecord();
        read.status != line::RecordRead::Status::Ok) {
        window_.Alert("The record " + Printable(setup_.record) + " cannot be read: " + read.error +
                          ". The station is not armed.",
                      kRecordTitle);
        return false;
    }
    shift_ = std::move(shift);
    return true;
}

void ProductionStation::Disarm() {
    armed_ = false;
    window_.ShowArmed(false, image_.image.has_value());
}

void ProductionStation::OnArmClicked() {
    if (closing_) {
        return;
    }
    if (!armed_) {
        Arm();
        return;
    }
    if (Writing()) {
        window_.Alert("A Velt-USB is being written: the station can be disarmed once it is done.",
                      kDisarmTitle);
        return;
    }
    // Asked in a loop of the window's own, where the timer goes on: a device may have
    // started meanwhile.
    if (!window_.Ask("Disarm the station?", kDisarmTitle) || !armed_) {
        return;
    }
    if (Writing()) {
        window_.Alert("A Velt-USB is being written: the station can be disarmed once it is done.",
                      kDisarmTitle);
        return;
    }
    Disarm();
    Show();
}

void ProductionStation::Look() {
    if (!armed_) {
        return;
    }
    shift_->watch->Look();
    lastLookMs_ = clock_.NowMs();
}

void ProductionStation::OnTimer() {
    if (closed_) {
        return;
    }
    bool ended = false;
    std::string failure;
    {
        std::lock_guard<std::mutex> hold(lock_);
        ended = std::exchange(ended_, false);
        if (!recordFailure_.empty() && !failureShown_) {
            failureShown_ = true;
            failure = recordFailure_;
        }
    }
    if (!failure.empty() && armed_) {
        Disarm();  // no device is written without its entry
    }
    if (armed_) {
        const bool changed = monitor_ != nullptr && monitor_->WaitForChange(0);
        if (changed || ended || clock_.NowMs() - lastLookMs_ >= kLookEveryMs) {
            Look();
        }
    } else if (shift_ && ended) {
        shift_->line->Reap();
    }
    {
        // A place away longer than a reboot takes has been unplugged: its tile is free.
        std::lock_guard<std::mutex> hold(lock_);
        const std::uint64_t now = clock_.NowMs();
        for (Place& place : places_) {
            if (!place.busy && place.goneMs && now - *place.goneMs > line::kAwayForNewMs) {
                place = Place();
            }
        }
    }
    Show();
    if (!failure.empty()) {
        // A box runs the window's loop: the timer goes on showing the tiles meanwhile, and
        // a close waits until it is acknowledged.
        alerting_ = true;
        window_.Alert(
            "The station stopped: no Velt-USB is flashed without its record entry.\n" + failure,
            kRecordTitle);
        alerting_ = false;
    }
    if (closing_ && !alerting_ && !closed_ && !Writing()) {
        closed_ = true;
        window_.Close(exitStatus());
    }
}

void ProductionStation::OnCloseRequest() {
    if (closing_ || closed_) {
        return;
    }
    if (!Writing()) {
        closed_ = true;
        window_.Close(exitStatus());
        return;
    }
    closing_ = true;
    armed_ = false;
    // As Ctrl-C does to a watch: a device still waiting for its bootloader is let go, one
    // being written finishes so that it is not left half-written.
    shift_->stops.Interrupt();
    Show();
}

std::string ProductionStation::StatusText() const {
    if (closing_) {
        return "Closing once the Velt-USBs being written are done";
    }
    std::string text;
    if (!recordFailure_.empty()) {
        text = "Stopped: the record could not be written";
    } else if (armed_) {
        const auto writing = std::count_if(places_.begin(), places_.end(),
                                           [](const Place& place) { return place.busy; });
        text = writing == 0 ? std::string("Armed: waiting for Velt-USBs")
                            : "Armed: " + std::to_string(writing) + " being written";
    } else if (!image_.image) {
        text = "Disarmed: choose a usable firmware image";
    } else {
        text = "Disarmed: check the set-up, then press Arm";
    }
    return note_.empty() ? text : text + " (" + note_ + ")";
}

void ProductionStation::Show() {
    std::vector<Tile> tiles;
    Counters counters;
    std::string status;
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (const Place& place : places_) {
            tiles.push_back(place.tile);
        }
        counters = counters_;
        status = StatusText();
    }
    if (!shownTiles_ || !Same(*shownTiles_, tiles)) {
        window_.ShowTiles(tiles);
        shownTiles_ = std::move(tiles);
    }
    if (!shownCounters_ || !Same(*shownCounters_, counters)) {
        window_.ShowCounters(counters);
        shownCounters_ = counters;
    }
    if (shownStatus_ != status) {
        window_.ShowStatus(status);
        shownStatus_ = std::move(status);
    }
}

ProductionStation::Place* ProductionStation::Find(const std::string& key) {
    const auto found = std::find_if(places_.begin(), places_.end(),
                                    [&](const Place& place) { return place.key == key; });
    return found == places_.end() ? nullptr : &*found;
}

ProductionStation::Place& ProductionStation::PlaceFor(const std::string& key) {
    if (Place* place = Find(key)) {
        return *place;
    }
    const auto free = std::find_if(places_.begin(), places_.end(), [](const Place& place) {
        return place.tile.state == TileState::Free;
    });
    Place& place = free != places_.end() ? *free : places_.emplace_back();
    place = Place();
    place.key = key;
    return place;
}

std::unique_ptr<line::RunReports> ProductionStation::Starting(const line::DeviceRun& run) {
    std::lock_guard<std::mutex> hold(lock_);
    Place& place = PlaceFor(run.key);
    place.busy = true;
    place.goneMs.reset();
    place.tile = Tile{
        Printable(run.key), Printable(run.serial.value_or("-")), "", TileState::Waiting, 0, ""};
    return std::make_unique<DeviceReports>(*this, run.key, shift_->stops);
}

void ProductionStation::Message(const std::string& text, bool /*problem*/) {
    std::lock_guard<std::mutex> hold(lock_);
    note_ = text;
}

void ProductionStation::Seen(const std::string& key, const HidInterfaceInfo& /*info*/) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Place* place = Find(key)) {
        place->goneMs.reset();
    }
}

void ProductionStation::Gone(const std::string& key) {
    std::lock_guard<std::mutex> hold(lock_);
    if (Place* place = Find(key)) {
        place->goneMs = clock_.NowMs();
    }
}

void ProductionStation::AlreadyDone(const std::string& key, const HidInterfaceInfo& /*info*/,
                                    const std::optional<std::string>& serial, bool /*recorded*/) {
    std::lock_guard<std::mutex> hold(lock_);
    const std::string shownSerial = Printable(serial.value_or("-"));
    if (Place* place = Find(key);
        place != nullptr && place->tile.serial == shownSerial &&
        (place->tile.state == TileState::Passed || place->tile.state == TileState::AlreadyDone)) {
        return;  // back from its reboot into the firmware it was just given
    }
    Place& place = PlaceFor(key);
    place.tile = Tile{Printable(key), shownSerial, "", TileState::AlreadyDone, 0, ""};
    ++counters_.alreadyDone;
}

}  // namespace velt::production
