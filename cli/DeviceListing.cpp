#include "cli/DeviceListing.h"

#include "device/PlatformWords.h"

#include <algorithm>
#include <cstdio>

#include "cli/Program.h"
#include "cli/Text.h"
#include "device/Discovery.h"
#include "device/IdentityText.h"
#include "device/VeltProtocol.h"
#include "line/Json.h"

namespace velt::cli {

using line::Json;
using line::JsonText;

namespace {

template <typename Query>
auto Ask(Query query) -> std::optional<decltype(query())> {
    try {
        return query();
    } catch (const DeviceError&) {
        return std::nullopt;
    }
}

std::string OrDash(const std::optional<std::string>& text) {
    return text && !text->empty() ? Printable(*text) : "-";
}

// The version without the blank the window puts before it.
std::string VersionText(std::uint16_t version) {
    const std::string text = FormatVersion(version);
    return text.substr(text.find_first_not_of(' '));
}

}  // namespace

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

const char* ModeName(std::uint16_t productId) {
    return productId == protocol::bootloaderProductId ? "bootloader" : "application";
}

std::vector<ListedDevice> ListVeltDevices(HidBackend& backend) {
    std::vector<ListedDevice> devices;
    for (const HidInterfaceInfo& info : VeltInterfaces(backend)) {
        ListedDevice& listed = devices.emplace_back();
        listed.info = info;
        std::unique_ptr<HidDevice> device;
        try {
            device = backend.Open(info.path);
        } catch (const DeviceError& error) {
            listed.openError = error.kind();
            continue;
        }
        listed.featureReportLength = Ask([&] { return device->FeatureReportLength(); });
        listed.manufacturer = Ask([&] { return device->GetString(HidString::Manufacturer); });
        listed.product = Ask([&] { return device->GetString(HidString::Product); });
        listed.serial = Ask([&] { return device->GetString(HidString::SerialNumber); });
    }
    return devices;
}

void PrintListing(std::ostream& out, const std::vector<ListedDevice>& devices) {
    for (const ListedDevice& device : devices) {
        const HidInterfaceInfo& info = device.info;
        out << Printable(info.path) << '\n';
        out << "  mode:           " << ModeName(info.productId) << '\n';
        if (!info.location.empty()) {
            // What --device takes to name this one device while it changes paths.
            out << "  location:       " << Printable(info.location) << '\n';
        }
        if (device.openError) {
            out << "  product ID:     " << Hex4(info.productId) << '\n';
            out << "  cannot open:    " << OpenErrorText(*device.openError) << '\n';
            if (*device.openError == DeviceErrorKind::PermissionDenied) {
                out << "  hint:           " << PermissionHint() << '\n';
            }
            continue;
        }
        out << "  vendor:product: " << Hex4(info.vendorId) << ':' << Hex4(info.productId) << '\n';
        out << "  version:        " << VersionText(info.version) << '\n';
        out << "  manufacturer:   " << OrDash(device.manufacturer) << '\n';
        out << "  product:        " << OrDash(device.product) << '\n';
        out << "  serial:         " << OrDash(device.serial) << '\n';
        out << "  feature report: "
            << (device.featureReportLength ? std::to_string(*device.featureReportLength) + " bytes"
                                           : std::string("-"))
            << '\n';
    }
}

void PrintListingJson(std::ostream& out, const std::vector<ListedDevice>& devices) {
    for (const ListedDevice& device : devices) {
        const HidInterfaceInfo& info = device.info;
        Json line{{"event", "device"}, {"path", info.path}};
        if (!info.location.empty()) {
            line["location"] = info.location;
        }
        line["mode"] = ModeName(info.productId);
        line["vendorId"] = Hex4(info.vendorId);
        line["productId"] = Hex4(info.productId);
        if (device.openError) {
            line["error"] = OpenErrorText(*device.openError);
        } else {
            line["version"] = VersionText(info.version);
            const std::pair<const char*, const std::optional<std::string>*> strings[] = {
                {"manufacturer", &device.manufacturer},
                {"product", &device.product},
                {"serial", &device.serial}};
            for (const auto& [name, text] : strings) {
                if (*text) {
                    line[name] = **text;
                }
            }
            if (device.featureReportLength) {
                line["featureReport"] = *device.featureReportLength;
            }
        }
        out << JsonText(line) << '\n';
    }
}

int List(HidBackend& backend, std::ostream& out, std::ostream& err, bool json) {
    const std::vector<ListedDevice> devices = ListVeltDevices(backend);
    if (devices.empty()) {
        err << kProgram << ": no Velt-USB found" << std::endl;
        return kExitNoDevice;
    }
    if (json) {
        PrintListingJson(out, devices);
    } else {
        PrintListing(out, devices);
    }
    out.flush();
    const bool usable = std::any_of(devices.begin(), devices.end(),
                                    [](const ListedDevice& device) { return !device.openError; });
    return usable ? kExitSuccess : kExitNoDevice;
}

}  // namespace velt::cli
