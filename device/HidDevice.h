#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "device/DeviceError.h"

namespace velt {

// One present HID interface, as the backend lists it without opening it.
struct HidInterfaceInfo {
    std::string path;  // opens the device; stable while it stays on the bus
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t version = 0;  // the device's release number (bcdDevice)
    // Where it is plugged in, such as the USB port path "1-1.3": unlike the path, it stays the
    // same while the device leaves the bus and comes back. Empty when the backend cannot tell.
    std::string location = {};
};

// The three identity strings a HID interface can be asked for.
enum class HidString { Manufacturer, Product, SerialNumber };

// An open HID interface. Destroying it closes everything the backend opened for it.
// Every call is synchronous; a failure throws DeviceError.
class HidDevice {
  public:
    virtual ~HidDevice() = default;

    // The length of a feature report, report ID byte included, as the device declares it.
    virtual std::uint16_t FeatureReportLength() = 0;
    // UTF-8 text of at most 50 UTF-16 code units, never half a character.
    virtual std::string GetString(HidString which) = 0;
    // Sends one feature report: byte 0 is the report ID; `report` is exactly
    // FeatureReportLength() bytes.
    virtual void SendFeatureReport(std::span<const std::uint8_t> report) = 0;
};

// The operating system's HID stack.
class HidBackend {
  public:
    virtual ~HidBackend() = default;

    // The present HID interfaces in a stable order (the same order for the same devices).
    virtual std::vector<HidInterfaceInfo> ListInterfaces() = 0;
    // Opens one interface for feature reports and string queries. Throws DeviceError:
    // PermissionDenied, Busy (another program holds it), Disconnected, ...
    virtual std::unique_ptr<HidDevice> Open(const std::string& path) = 0;
};

// "Manufacturer", "Product", "SerialNumber": for logs.
const char* HidStringName(HidString which);

}  // namespace velt
