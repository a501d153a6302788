#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "device/Discovery.h"
#include "device/HidDevice.h"
#include "device/OpenDevice.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"
#include "update/UpdateListener.h"

namespace velt::cli {

// How a device is named in the log and in JSON: where it is plugged in.
std::string PlaceOf(const HidInterfaceInfo& info);

// One device as a flash found it and what came of it: the same for a single device and for
// each of several side by side.
struct FlashedDevice {
    HidInterfaceInfo info;
    std::optional<std::string> serial;
    std::optional<std::uint16_t> versionBefore;  // as it said when it was opened
    std::uint64_t startMs = 0;
    std::uint64_t endMs = 0;
    UpdateResult result;
};

// Updates the open `velt` with the checked image, its reports going to `listener`, or
// through `json` to it with --json; followed by `following` while it comes back in its
// bootloader. Sets the device's version before, result and end time.
void UpdateDevice(Session& session, const FlashOptions& options, const ImageLoad& image,
                  OpenDevice& velt, DeviceFilter following, UpdateListener& listener,
                  JsonEvents& json, FlashedDevice& device);

// The device's end, `outcome` from the table with `message` as its words: appended to the
// record with --record, and where that failed, a record-failed object (--json) naming the
// device. Returns what to tell the user of that failure, or an empty string.
std::string RecordDevice(Session& session, const FlashOptions& options, JsonEvents& json,
                         const FlashedDevice& device, const Outcome& outcome,
                         const std::string& message);

}  // namespace velt::cli
