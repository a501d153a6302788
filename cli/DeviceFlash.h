#pragma once

#include <string>

#include "cli/JsonEvents.h"
#include "cli/Session.h"
#include "device/Discovery.h"
#include "device/HidDevice.h"
#include "device/OpenDevice.h"
#include "line/ProductionLine.h"
#include "update/FirmwareImage.h"
#include "update/Outcome.h"
#include "update/UpdateListener.h"

namespace velt::cli {

using line::FlashedDevice;
using line::PlaceOf;

// Updates the open `velt` with the checked image (line::UpdateDevice), its reports going to
// `listener`, or through `json` to it with --json.
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
