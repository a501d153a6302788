#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "device/simulated/SimulatedBus.h"

namespace velt::sim {

// What the Velt-USB's firmware does with the feature reports it receives: the mode switch,
// the records it stores or refuses, vanishing, the reboot into new firmware. It knows no
// bus: it says when it leaves the bus and comes back, and the bus carries that out. The
// bus's lock guards it.
class VeltFirmware {
  public:
    // What the bus does at the time of an event.
    struct BusEvent {
        bool plug = false;                    // false: leave the bus
        std::optional<DeviceModel> identity;  // when plugging: the one it shows now, if new
    };

    // `plugged`: the identity it was plugged in with, which new firmware shows again.
    VeltFirmware(const DeviceModel& plugged, const VeltBehaviour& behaviour);

    // The answer to one feature report (report ID first) arriving at `now` at a device that
    // shows `current`; records it either way.
    ReportRecord Receive(std::span<const std::uint8_t> report, const DeviceModel& current,
                         std::uint64_t now);

    // The earliest pending event, if any; TakeEvent(at) hands over the one due then.
    std::optional<std::uint64_t> NextEvent() const;
    BusEvent TakeEvent(std::uint64_t at);
    // Plugs it in at `at` in the mode it is in.
    void PlugAt(std::uint64_t at);
    void CancelEvents();

    const std::vector<ReportRecord>& reports() const { return reports_; }
    int modeSwitches() const { return modeSwitches_; }
    const std::vector<std::uint8_t>& firmware() const { return firmware_; }
    // "mode-switches=<n> records=<n> bytes=<n> sha256=<hex>" over firmware().
    std::string Summary() const;

  private:
    // Whether it accepts the report; `vanish` set when it leaves the bus for good now.
    bool Decide(const std::vector<std::uint8_t>& payload, std::size_t length,
                const DeviceModel& current, std::uint64_t now, bool& vanish);

    VeltBehaviour behaviour_;
    DeviceModel application_;  // the identity its new firmware shows
    std::vector<ReportRecord> reports_;
    std::vector<std::uint8_t> firmware_;
    int modeSwitches_ = 0;
    int dataReports_ = 0;
    // Pending: leaving the bus after the mode switch, to reboot or for good, and being back
    // with next_'s identity, or as it is.
    std::optional<std::uint64_t> detachAt_;
    std::optional<std::uint64_t> rebootAt_;
    std::optional<std::uint64_t> plugAt_;
    std::optional<DeviceModel> next_;
};

}  // namespace velt::sim
