#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "device/DeviceMonitor.h"
#include "line/FlashRecord.h"
#include "line/ProductionLine.h"

namespace velt::line {

// A device without a serial number is taken for another one at the same place only after
// it was away this long; a reboot into new firmware is quicker.
inline constexpr std::uint64_t kAwayForNewMs = 5000;

struct WatchOptions {
    bool newOnly = false;  // the devices present at the first look are left alone
    bool again = false;    // the record does not decide: every device is flashed once
};

// Flashes each Velt-USB as it is plugged in, side by side. A device is flashed once per
// watch: one that comes back with the serial number of a device already done (rebooting
// into its new firmware, or plugged in again) is done. With a record, the latest entry the
// record has for a serial number with this image decides instead, read on as other
// processes append to it. A device in its bootloader is never done. No device starts once
// an end could not be written to the record.
class Watch {
  public:
    Watch(ProductionLine& line, LineListener& listener, WatchOptions options);

    // Reads the record as it is now (unless `again`); what it met with.
    RecordRead ReadRecord();
    // One look at the bus: the updates that ended are joined and told, then each device
    // present is decided on, and the places left are told.
    void Look();
    // Looks until the listener says no more or an end could not be recorded, waiting for
    // devices to come or go between looks.
    void Run(DeviceMonitor& monitor);

  private:
    // What the watch knows about each place a Velt-USB was seen at.
    struct Place {
        bool present = false;
        bool busy = false;       // its update is running
        bool settled = false;    // nothing more to do until it leaves
        bool leftAlone = false;  // present when a watch of new devices only began
        bool doneHere = false;   // a device without a serial number was flashed here
        std::uint64_t goneMs = 0;
        std::optional<std::uint64_t> failingSinceMs;
    };

    void Reap();
    // Starts, or tells why not; false when no device may start any more.
    bool Decide(const HidInterfaceInfo& info, std::set<std::string>& present, std::uint64_t now);
    void ReadOn();
    void Damaged(std::size_t number);

    ProductionLine& line_;
    LineListener& listener_;
    WatchOptions options_;
    bool first_ = true;
    std::map<std::string, Place> places_;
    std::set<std::string> doneSerials_;
    // Done with this image as the record says, by an earlier watch or another one appending
    // to it: a restarted watch, or one a device was moved to, leaves them alone unless told
    // `again`.
    std::optional<RecordedDone> recordDone_;
    bool readOnFailed_ = false;
};

}  // namespace velt::line
