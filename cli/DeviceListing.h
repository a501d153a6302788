#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "device/DeviceError.h"
#include "device/HidDevice.h"
#include "line/ProductionLine.h"

namespace velt::cli {

// One present Velt-USB and what it tells about itself.
struct ListedDevice {
    HidInterfaceInfo info;
    // Set when it could not be opened.
    std::optional<DeviceErrorKind> openError;
    // Absent when the device did not answer the query.
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> serial;
    std::optional<std::uint16_t> featureReportLength;
};

// Opens every present Velt-USB in turn, reads what it tells about itself and lets it go.
std::vector<ListedDevice> ListVeltDevices(HidBackend& backend);

// `list --json`: one object a device, {"event":"device",...}, with what PrintListing
// shows; absent answers are left out, and a device that cannot be opened has "error".
void PrintListingJson(std::ostream& out, const std::vector<ListedDevice>& devices);

// Four lower-case hexadecimal digits.
std::string Hex4(std::uint16_t value);
// "application" or "bootloader".
const char* ModeName(std::uint16_t productId);
using line::OpenErrorText;

// One block per device; the unusable ones with their reason and, for a permission
// error, the hint.
void PrintListing(std::ostream& out, const std::vector<ListedDevice>& devices);

// `list`: the present Velt-USBs on `out`, as text or with `json` as objects. Returns the exit
// status: no device, or none that can be opened, is kExitNoDevice.
int List(HidBackend& backend, std::ostream& out, std::ostream& err, bool json);

}  // namespace velt::cli
