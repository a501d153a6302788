#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/DeviceBoard.h"
#include "cli/DeviceFlash.h"
#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "device/HidDevice.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"

namespace velt::cli {

// One device's update, on a thread of its own.
struct DeviceRun : FlashedDevice {
    std::size_t row = 0;
    std::string problem;      // why it was never updated: gone, cannot be opened
    bool unrecorded = false;  // its end could not be written to the record
    std::atomic<bool> finished = false;
    std::thread thread;

    // The table's outcome; a device never updated is a failure for want of a device.
    Outcome outcome() const;
};

// The devices being flashed and flashed so far, one thread each, on one board; at the end
// a table, the --json summary and the exit status.
class ProductionLine {
  public:
    // `image` holds the checked image.
    ProductionLine(Session& session, const FlashOptions& options, const ImageLoad& image,
                   JsonEvents& json);
    ~ProductionLine() { JoinAll(); }

    DeviceBoard& board() { return board_; }

    // Opens the device at the place of `info` and updates it on a thread of its own.
    void Start(const HidInterfaceInfo& info, std::optional<std::string> serial);
    // The runs that have finished since the last call, joined.
    std::vector<const DeviceRun*> Reap();
    bool Running() const;
    // The end table, the summary object and the exit status.
    int Finish();

  private:
    void Run(DeviceRun& run);
    void JoinAll();
    void PrintTable();

    Session& session_;
    const FlashOptions& options_;
    const ImageLoad& image_;
    JsonEvents& json_;
    std::mutex jsonLock_;
    DeviceBoard board_;
    std::list<DeviceRun> runs_;  // stable addresses: each thread holds its own
};

// Flashes every Velt-USB present, side by side, each at its own pace and each followed
// across its re-enumeration by its location (--all). Returns the exit status: 0 only when
// every device took the whole image. `image` holds the checked image.
int FlashAll(Session& session, const FlashOptions& options, const ImageLoad& image,
             JsonEvents& json);

}  // namespace velt::cli
