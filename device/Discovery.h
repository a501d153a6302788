#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/DeviceError.h"
#include "device/HidDevice.h"
#include "device/OpenDevice.h"

namespace velt {

// A Velt-USB that is present but could not be opened, and why.
struct UnusableDevice {
    HidInterfaceInfo info;
    DeviceError error;
};

// The present interfaces that carry a Velt-USB product ID (whatever the vendor ID), in
// the backend's order.
std::vector<HidInterfaceInfo> VeltInterfaces(HidBackend& backend);

// Which Velt-USB interfaces a discovery pass may take; empty: any.
using DeviceFilter = std::function<bool(const HidInterfaceInfo&)>;

// Only the interface at this location, or at this path when the backend tells no
// location: the device that was chosen, while it stays on the bus.
DeviceFilter AtPlaceOf(const HidInterfaceInfo& info);
// Only the interface at this location: how a device is followed while it leaves the bus
// and comes back under a new path. Without a location (the backend cannot tell), any.
DeviceFilter AtLocation(const std::string& location);

// How an update follows its device while it leaves the bus and comes back under a new
// path and product ID: by its location; where the backend tells none (wine's HID stack),
// by its serial number, asked of each candidate; where neither is known, any.
DeviceFilter Following(HidBackend& backend, const std::string& location,
                       const std::optional<std::string>& serial);
// The same for an open device, whose serial number is asked only when it has no location.
DeviceFilter Following(HidBackend& backend, OpenDevice& velt);

// One discovery pass: lets go of what `velt` holds, then opens the first Velt-USB (that
// `filter` lets through) that can be opened and keeps it in `velt` with its feature report
// length. Interfaces after it are never opened. Returns velt.isOpen(). Velt-USBs passed
// over because they could not be opened are appended to `unusable` when given.
bool OpenFirstVelt(HidBackend& backend, OpenDevice& velt,
                   std::vector<UnusableDevice>* unusable = nullptr,
                   const DeviceFilter& filter = {});

// The serial number an open device tells, or nullopt when it has none or will not say.
std::optional<std::string> SerialNumberOf(OpenDevice& velt);

// The serial number an interface tells, or nullopt when it has none or will not say.
// Throws DeviceError when the interface cannot be opened, and Disconnected when it leaves
// while it is asked.
std::optional<std::string> ReadSerialNumber(HidBackend& backend, const std::string& path);

// A present Velt-USB that a name fits, and by what: "location", "path" or "serial number",
// which the prefix ("location:", "path:", "serial:") names explicitly.
struct NamedDevice {
    struct Kind {
        const char* by;
        const char* prefix;
    };
    HidInterfaceInfo info;
    Kind kind;
};

// Every present Velt-USB a person's name fits: by its location, its path or its serial
// number; "location:X", "path:X" and "serial:X" fit by that alone. More than one device
// means the name is ambiguous; a device that fits twice is named once.
std::vector<NamedDevice> DevicesNamed(HidBackend& backend, const std::string& name);

}  // namespace velt
