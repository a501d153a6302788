#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "HidPlatform.h"

namespace velt::cli {

// One present HID interface that carries a Velt-USB product ID.
struct ListedDevice {
    std::string path;
    std::uint16_t productId = 0;
    // False: it could not be opened (or not read); `problem` says why.
    bool usable = false;
    OpenError openError = OpenError::None;
    std::string problem;
    std::uint16_t vendorId = 0;
    std::uint16_t version = 0;
    // Absent when the device did not answer the query.
    std::optional<std::string> manufacturer;
    std::optional<std::string> product;
    std::optional<std::string> serial;
    std::optional<std::uint16_t> featureReportLength;
};

// Opens every present interface in turn, reads what a Velt-USB tells about itself and
// closes it again. An interface that cannot be opened is listed when the platform can
// tell its product ID without opening it.
std::vector<ListedDevice> ListVeltDevices(HidPlatform& platform);

// Four lower-case hexadecimal digits.
std::string Hex4(std::uint16_t value);
// "application" or "bootloader".
const char* ModeName(std::uint16_t productId);
// Why an open failed, in a few words.
std::string OpenErrorText(OpenError error);
// What to do about a refused open.
std::string PermissionHint();

// One block per device; the unusable ones with their reason and, for a permission
// error, the hint.
void PrintListing(std::ostream& out, const std::vector<ListedDevice>& devices);

}  // namespace velt::cli
