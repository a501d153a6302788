#include "DeviceListing.h"

#include <array>
#include <cstdio>

#include "IdentityDisplay.h"

namespace velt::cli {

namespace {

// The same query size as the window's identity display.
constexpr std::size_t kQueryLength = 100;

bool IsVelt(std::uint16_t productId) {
    return productId == applicationProductId || productId == bootloaderProductId;
}

std::optional<std::string> QueryString(HidPlatform& platform, HidHandle handle, HidString which) {
    std::array<std::uint8_t, kQueryLength> buffer{};
    if (!platform.GetString(handle, which, buffer.data(), kQueryLength)) {
        return std::nullopt;
    }
    return DecodeIdentityString(buffer.data(), kQueryLength);
}

std::string OrDash(const std::optional<std::string>& text) {
    return text && !text->empty() ? *text : "-";
}

// The version without the blank the window puts before it.
std::string VersionText(std::uint16_t version) {
    std::string text = FormatVersion(version);
    const auto first = text.find_first_not_of(' ');
    return first == std::string::npos ? text : text.substr(first);
}

// Lists an interface that could not be opened or read, if it is a Velt-USB.
void AddRefused(HidPlatform& platform, const std::string& path, OpenError error,
                const std::string& problem, std::vector<ListedDevice>& devices) {
    std::uint16_t productId = 0;
    if (!platform.PeekProductId(path, productId) || !IsVelt(productId)) {
        return;
    }
    ListedDevice device;
    device.path = path;
    device.productId = productId;
    device.openError = error;
    device.problem = problem;
    devices.push_back(std::move(device));
}

}  // namespace

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

const char* ModeName(std::uint16_t productId) {
    return productId == bootloaderProductId ? "bootloader" : "application";
}

std::string OpenErrorText(OpenError error) {
    switch (error) {
        case OpenError::PermissionDenied:
            return "permission denied";
        case OpenError::Busy:
            return "in use by another program";
        case OpenError::NotFound:
            return "gone";
        case OpenError::None:
        case OpenError::Other:
            break;
    }
    return "cannot be opened";
}

std::string PermissionHint() {
    return "install the udev rule 70-velt-usb.rules and replug the device; see the README, "
           "section \"Permissions\"";
}

std::vector<ListedDevice> ListVeltDevices(HidPlatform& platform) {
    std::vector<ListedDevice> devices;
    auto interfaces = platform.ListInterfaces();
    std::string path;
    for (std::uint32_t index = 0; interfaces && interfaces->Interface(index, path); ++index) {
        const HidHandle handle = platform.Open(path, false);
        if (handle == kInvalidHandle) {
            const OpenError error = platform.LastOpenError();
            AddRefused(platform, path, error, OpenErrorText(error), devices);
            continue;
        }
        HiddAttributes attributes;
        attributes.Size = 12;
        if (!platform.GetAttributes(handle, attributes)) {
            platform.Close(handle);
            AddRefused(platform, path, OpenError::None, "its attributes cannot be read", devices);
            continue;
        }
        if (!IsVelt(attributes.ProductID)) {
            platform.Close(handle);
            continue;
        }
        ListedDevice device;
        device.path = path;
        device.usable = true;
        device.productId = attributes.ProductID;
        device.vendorId = attributes.VendorID;
        device.version = attributes.VersionNumber;
        HidpCaps caps;
        if (platform.GetCaps(handle, caps)) {
            device.featureReportLength = caps.FeatureReportByteLength;
        }
        device.manufacturer = QueryString(platform, handle, HidString::Manufacturer);
        device.product = QueryString(platform, handle, HidString::Product);
        device.serial = QueryString(platform, handle, HidString::SerialNumber);
        platform.Close(handle);
        devices.push_back(std::move(device));
    }
    return devices;
}

void PrintListing(std::ostream& out, const std::vector<ListedDevice>& devices) {
    for (const ListedDevice& device : devices) {
        out << device.path << '\n';
        out << "  mode:           " << ModeName(device.productId) << '\n';
        if (!device.usable) {
            out << "  product ID:     " << Hex4(device.productId) << '\n';
            out << "  cannot open:    " << device.problem << '\n';
            if (device.openError == OpenError::PermissionDenied) {
                out << "  hint:           " << PermissionHint() << '\n';
            }
            continue;
        }
        out << "  vendor:product: " << Hex4(device.vendorId) << ':' << Hex4(device.productId)
            << '\n';
        out << "  version:        " << VersionText(device.version) << '\n';
        out << "  manufacturer:   " << OrDash(device.manufacturer) << '\n';
        out << "  product:        " << OrDash(device.product) << '\n';
        out << "  serial:         " << OrDash(device.serial) << '\n';
        out << "  feature report: "
            << (device.featureReportLength ? std::to_string(*device.featureReportLength) + " bytes"
                                           : std::string("-"))
            << '\n';
    }
}

}  // namespace velt::cli
