#include "device/Discovery.h"

#include <string_view>

#include "device/VeltProtocol.h"

namespace velt {

std::vector<HidInterfaceInfo> VeltInterfaces(HidBackend& backend) {
    std::vector<HidInterfaceInfo> velts;
    for (HidInterfaceInfo& info : backend.ListInterfaces()) {
        if (protocol::IsVeltProductId(info.productId)) {
            velts.push_back(std::move(info));
        }
    }
    return velts;
}

DeviceFilter AtLocation(const std::string& location) {
    if (location.empty()) {
        return {};
    }
    return [location](const HidInterfaceInfo& other) { return other.location == location; };
}

DeviceFilter AtPlaceOf(const HidInterfaceInfo& info) {
    if (info.location.empty()) {
        return [path = info.path](const HidInterfaceInfo& other) { return other.path == path; };
    }
    return AtLocation(info.location);
}

DeviceFilter Following(HidBackend& backend, const std::string& location,
                       const std::optional<std::string>& serial) {
    if (!location.empty() || !serial) {
        return AtLocation(location);
    }
    return [&backend, serial](const HidInterfaceInfo& other) {
        try {
            return ReadSerialNumber(backend, other.path) == serial;
        } catch (const DeviceError&) {
            return false;  // one that cannot be asked is not known to be ours
        }
    };
}

DeviceFilter Following(HidBackend& backend, OpenDevice& velt) {
    return Following(backend, velt.info.location,
                     velt.info.location.empty() ? SerialNumberOf(velt) : std::nullopt);
}

std::optional<std::string> SerialNumberOf(OpenDevice& velt) {
    if (!velt.isOpen()) {
        return std::nullopt;
    }
    try {
        std::string serial = velt.hid->GetString(HidString::SerialNumber);
        return serial.empty() ? std::nullopt : std::optional(std::move(serial));
    } catch (const DeviceError&) {
        return std::nullopt;  // kept as a device without one
    }
}

bool OpenFirstVelt(HidBackend& backend, OpenDevice& velt, std::vector<UnusableDevice>* unusable,
                   const DeviceFilter& filter) {
    velt = OpenDevice();
    for (HidInterfaceInfo& info : VeltInterfaces(backend)) {
        if (filter && !filter(info)) {
            continue;
        }
        try {
            velt.hid = backend.Open(info.path);
        } catch (const DeviceError& error) {
            if (unusable != nullptr) {
                unusable->push_back({std::move(info), error});
            }
            continue;
        }
        velt.info = std::move(info);
        try {
            velt.featureReportLength = velt.hid->FeatureReportLength();
        } catch (const DeviceError&) {
            // The update refuses a device whose report cannot carry its commands.
        }
        return true;
    }
    return false;
}

std::optional<std::string> ReadSerialNumber(HidBackend& backend, const std::string& path) {
    const std::unique_ptr<HidDevice> device = backend.Open(path);
    try {
        std::string serial = device->GetString(HidString::SerialNumber);
        return serial.empty() ? std::nullopt : std::optional(std::move(serial));
    } catch (const DeviceError& error) {
        // One that left while it was asked is gone, not a device without a serial number.
        if (error.kind() == DeviceErrorKind::Disconnected) {
            throw;
        }
        return std::nullopt;
    }
}

std::vector<NamedDevice> DevicesNamed(HidBackend& backend, const std::string& name) {
    // An explicit kind leaves no doubt: a serial number may look like a location.
    constexpr NamedDevice::Kind kinds[] = {
        {"location", "location:"}, {"path", "path:"}, {"serial number", "serial:"}};
    std::string wanted = name;
    const NamedDevice::Kind* only = nullptr;
    for (const NamedDevice::Kind& kind : kinds) {
        if (name.starts_with(kind.prefix)) {
            wanted = name.substr(std::string_view(kind.prefix).size());
            only = &kind;
        }
    }
    const auto asked = [&](const NamedDevice::Kind& kind) {
        return only == nullptr || only == &kind;
    };
    std::vector<NamedDevice> named;
    for (const HidInterfaceInfo& info : VeltInterfaces(backend)) {
        const NamedDevice::Kind* by = nullptr;
        if (asked(kinds[0]) && !info.location.empty() && info.location == wanted) {
            by = &kinds[0];
        } else if (asked(kinds[1]) && info.path == wanted) {
            by = &kinds[1];
        } else if (asked(kinds[2])) {
            // Serial numbers need each device opened.
            try {
                if (ReadSerialNumber(backend, info.path) == wanted) {
                    by = &kinds[2];
                }
            } catch (const DeviceError&) {
                // Cannot be opened: it cannot be the one named by its serial number either.
            }
        }
        if (by != nullptr) {
            named.push_back({info, *by});
        }
    }
    return named;
}

}  // namespace velt
