#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/production/ProductionWindow.h"
#include "device/DeviceMonitor.h"
#include "device/HidDevice.h"
#include "line/FlashRecord.h"
#include "line/Interrupts.h"
#include "line/ProductionLine.h"
#include "line/Watch.h"
#include "platform/Clock.h"
#include "update/FirmwareImage.h"

namespace velt::production {

// The production window's logic. Disarmed, the operator sets up the image, the record and
// the station; armed, every Velt-USB present or plugged in is flashed once per serial
// number as line::Watch decides, one tile per place, each result kept until its device is
// unplugged. Devices are updated on threads of their own; what they tell is kept under a
// lock and shown by OnTimer, the view's only way in besides its events.
class ProductionStation final : public ProductionEvents, private line::LineListener {
  public:
    ProductionStation(ProductionWindow& window, HidBackend& backend, Clock& clock,
                      DeviceMonitor* monitor, Setup initial, bool armAtStart);
    ~ProductionStation() override;

    // What the window's event loop ends with: 0, or 1 once a device's end could not be
    // written to the record this session (the station then stopped at once).
    int exitStatus() const;

    void OnLoad() override;
    void OnImageChosen(const std::string& path) override;
    void OnSetupEdited(const Setup& setup) override;
    void OnArmClicked() override;
    void OnTimer() override;
    void OnCloseRequest() override;

  private:
    // One tile and what only the logic needs of it.
    struct Place {
        Tile tile;
        std::string key;  // line::KeyOf its device; empty while Free
        bool busy = false;
        std::optional<std::uint64_t> goneMs;
    };
    // What an armed station flashes with, kept until its last device is done.
    struct Shift {
        ImageLoad image;
        std::string sha256, record, station;  // as armed
        std::unique_ptr<line::FlashRecorder> recorder;
        std::unique_ptr<line::ProductionLine> line;
        std::unique_ptr<line::Watch> watch;
        line::Interrupts stops;  // a close: devices waiting are let go, those written finish
    };
    class DeviceReports;

    void LoadImage();
    void Arm();
    // Sets up the image, record and line to arm with; false when the record refuses.
    bool NewShift();
    void Disarm();
    bool Writing() const;
    void Look();
    void Show();
    std::string StatusText() const;
    // With lock_ held: the tile of `key`, or a free one taken for it.
    Place& PlaceFor(const std::string& key);
    Place* Find(const std::string& key);

    std::unique_ptr<line::RunReports> Starting(const line::DeviceRun& run) override;
    void Message(const std::string& text, bool problem) override;
    void Seen(const std::string& key, const HidInterfaceInfo& info) override;
    void Gone(const std::string& key) override;
    void AlreadyDone(const std::string& key, const HidInterfaceInfo& info,
                     const std::optional<std::string>& serial, bool recorded) override;

    ProductionWindow& window_;
    HidBackend& backend_;
    Clock& clock_;
    DeviceMonitor* monitor_;
    Setup setup_;
    bool armAtStart_;
    ImageLoad image_;
    std::string sha256_;
    std::unique_ptr<Shift> shift_;
    bool armed_ = false;
    bool closing_ = false;
    bool closed_ = false;
    bool alerting_ = false;
    std::uint64_t lastLookMs_ = 0;

    // What the devices' threads tell, for OnTimer.
    mutable std::mutex lock_;
    std::vector<Place> places_;
    Counters counters_;
    std::string note_;           // the latest message from the watch
    std::string recordFailure_;  // what could not be written; empty: nothing
    bool recordFailed_ = false;  // this session, for the exit status
    bool failureShown_ = false;
    bool ended_ = false;  // a device's update ended since the last look

    // What the view shows now, so that it is told only of changes.
    std::optional<std::vector<Tile>> shownTiles_;
    std::optional<Counters> shownCounters_;
    std::optional<std::string> shownStatus_;
};

}  // namespace velt::production
