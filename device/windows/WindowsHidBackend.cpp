#include "device/windows/WindowsHidBackend.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "device/IdentityText.h"
#include "platform/WindowsText.h"

namespace velt {

using windows::ErrorCode;
using windows::Handle;
using windows::NodeText;

namespace {

// The one place where a GetLastError() code becomes a kind.
DeviceErrorKind KindOfError(ErrorCode error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
            return DeviceErrorKind::PermissionDenied;
        case ERROR_SHARING_VIOLATION:  // another program opened it without sharing
            return DeviceErrorKind::Busy;
        case ERROR_FILE_NOT_FOUND:  // the interface path is gone
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:  // a request on a handle whose device has left
        case ERROR_DEVICE_REMOVED:
            return DeviceErrorKind::Disconnected;
        case ERROR_GEN_FAILURE:       // USB's STATUS_UNSUCCESSFUL: mostly a stalled request
        case ERROR_INVALID_FUNCTION:  // the device turned the request down
            return DeviceErrorKind::Refused;
        case ERROR_NOT_SUPPORTED:
        case ERROR_INVALID_PARAMETER:    // the stack turned the request down before the device
        case ERROR_INVALID_USER_BUFFER:  // a report of another length than the device's
            return DeviceErrorKind::NotSupported;
        default:  // ERROR_BAD_COMMAND (a device in the middle of leaving), ERROR_SEM_TIMEOUT...
            return DeviceErrorKind::Io;
    }
}

std::string Describe(const std::string& what, ErrorCode error) {
    return what + ": " + SystemMessage(error);
}

DeviceError SystemError(ErrorCode error, const std::string& what) {
    return DeviceError(KindOfError(error), static_cast<int>(error), Describe(what, error));
}

// Whether a node is a USB device itself: neither a hub above it nor one function of a
// composite device (USB\VID_1209&PID_2442&MI_00\...), which sits between it and its HID node.
bool IsUsbDevice(std::string id) {
    std::transform(id.begin(), id.end(), id.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return id.starts_with("USB\\") && id.find("&MI_") == std::string::npos &&
           !id.starts_with("USB\\ROOT_HUB");
}

// Where the USB device behind an interface is plugged in: its port, which it keeps while it
// leaves the bus and comes back as another device node (the bootloader's product ID). Empty
// where no USB device is found above the interface or it tells no location. Wine 8 tells
// none: its HID nodes (HID\VID_1209&PID_2442&MI_00\258&VW-0042&0&0) have no parent
// (CR_NO_SUCH_DEVNODE) and neither location property.
std::string LocationOf(windows::HidCalls& api, const std::string& path) {
    windows::Node node = 0;
    if (api.InterfaceNode(path, node) != ERROR_SUCCESS) {
        return {};
    }
    // HID node, maybe a composite device's function, the USB device: a few levels. The bound
    // keeps a broken tree from holding the listing.
    for (int level = 0; level < 8; ++level) {
        std::string text;
        if (api.GetNodeText(node, NodeText::InstanceId, text) == ERROR_SUCCESS &&
            IsUsbDevice(text)) {
            // The path from the root is unique and survives reboots; the hub's number in the
            // location information may not.
            if (api.GetNodeText(node, NodeText::LocationPath, text) == ERROR_SUCCESS ||
                api.GetNodeText(node, NodeText::LocationInfo, text) == ERROR_SUCCESS) {
                return text;
            }
            return {};
        }
        if (api.ParentNode(node, node) != ERROR_SUCCESS) {
            return {};
        }
    }
    return {};
}

class WindowsHidDevice final : public HidDevice {
  public:
    WindowsHidDevice(std::shared_ptr<windows::HidCalls> api, std::string path, Handle handle)
        : api_(std::move(api)), path_(std::move(path)), handle_(handle) {
        stringOpenError_ = api_->OpenPath(path_, true, stringHandle_);
    }
    ~WindowsHidDevice() override {
        api_->Close(handle_);
        if (stringOpenError_ == ERROR_SUCCESS) {
            api_->Close(stringHandle_);
        }
    }

    WindowsHidDevice(const WindowsHidDevice&) = delete;
    WindowsHidDevice& operator=(const WindowsHidDevice&) = delete;

    std::uint16_t FeatureReportLength() override {
        if (!featureReportLength_) {
            std::uint16_t length = 0;
            if (const ErrorCode error = api_->GetFeatureLength(handle_, length)) {
                throw Failure(error, "read the capabilities of " + path_);
            }
            featureReportLength_ = length;
        }
        return *featureReportLength_;
    }

    std::string GetString(HidString which) override {
        const std::string what = std::string("get the ") + HidStringName(which) + " of " + path_;
        if (stringOpenError_ != ERROR_SUCCESS) {
            throw Failure(stringOpenError_, what + " (open for overlapped I/O)");
        }
        // 100 bytes, the size the device's strings were written for. A string that fills
        // it comes back without a NUL: the length bounds the text, the zeros end a shorter one.
        std::array<char16_t, kMaxIdentityUnits> buffer{};
        if (const ErrorCode error = api_->GetString(stringHandle_, which, buffer)) {
            throw Failure(error, what);
        }
        return IdentityTextFromUtf16(std::u16string_view(buffer.data(), buffer.size()));
    }

    void SendFeatureReport(std::span<const std::uint8_t> report) override {
        const std::string what = "send feature report to " + path_;
        // HidD_SetFeature takes exactly FeatureReportByteLength bytes.
        const std::uint16_t length = FeatureReportLength();
        if (report.size() != length) {
            throw Failure(ERROR_INVALID_PARAMETER, what + " (" + std::to_string(report.size()) +
                                                       " bytes; the device takes " +
                                                       std::to_string(length) + ")");
        }
        std::vector<std::uint8_t> buffer(report.begin(), report.end());  // the call takes no const
        if (const ErrorCode error = api_->SetFeature(handle_, buffer)) {
            throw Failure(error, what);
        }
    }

  private:
    // A failed request on this device. USB reports a request the device stalled and one
    // cut short by unplugging alike (ERROR_GEN_FAILURE, or ERROR_BAD_COMMAND while the
    // device is being removed), so for a refusal or an I/O error the handle is asked again:
    // once the device has left, the HID class driver fails every request on it with
    // ERROR_DEVICE_NOT_CONNECTED, and HidD_GetAttributes never reaches the device, so it
    // cannot be refused. Access denied on a handle that is already open means the same:
    // its device is being deleted (STATUS_DELETE_PENDING).
    DeviceError Failure(ErrorCode error, const std::string& what) {
        const DeviceErrorKind kind = KindOfError(error);
        if ((kind == DeviceErrorKind::Refused || kind == DeviceErrorKind::Io ||
             kind == DeviceErrorKind::PermissionDenied) &&
            HasLeft()) {
            return DeviceError(DeviceErrorKind::Disconnected, static_cast<int>(error),
                               Describe(what, error) + " (the device left the bus)");
        }
        return DeviceError(kind, static_cast<int>(error), Describe(what, error));
    }

    // The stack learns of an unplug a moment after the request it cut short has failed
    // (wine's from udev, some 100 ms later), so a handle that still answers is given a
    // second before the failure counts as the device's own.
    bool HasLeft() {
        constexpr int pauses = 10;
        constexpr DWORD pauseMs = 100;
        for (int pause = 0;; ++pause) {
            windows::Attributes ignored;
            const ErrorCode probe = api_->GetAttributes(handle_, ignored);
            if (probe != ERROR_SUCCESS) {
                return probe == ERROR_ACCESS_DENIED ||
                       KindOfError(probe) == DeviceErrorKind::Disconnected;
            }
            if (pause == pauses) {
                return false;
            }
            ::Sleep(pauseMs);
        }
    }

    std::shared_ptr<windows::HidCalls> api_;
    std::string path_;
    Handle handle_;
    Handle stringHandle_ = nullptr;
    ErrorCode stringOpenError_ = ERROR_SUCCESS;
    std::optional<std::uint16_t> featureReportLength_;
};

}  // namespace

WindowsHidBackend::WindowsHidBackend(std::unique_ptr<windows::HidCalls> api)
    : api_(api ? std::move(api) : std::make_unique<windows::SystemHidCalls>()) {}

std::vector<HidInterfaceInfo> WindowsHidBackend::ListInterfaces() {
    std::vector<std::string> paths;
    if (const ErrorCode error = api_->ListPaths(paths)) {
        throw SystemError(error, "list the HID interfaces");
    }
    std::vector<HidInterfaceInfo> interfaces;
    for (std::string& path : paths) {
        // Without an open handle a path has no ids and could match no device. The system
        // holds keyboards and mice for itself (ERROR_ACCESS_DENIED), and an interface may be
        // leaving: such paths are left out rather than listed as 0000:0000.
        Handle handle = nullptr;
        if (api_->OpenPath(path, false, handle) != ERROR_SUCCESS) {
            continue;
        }
        windows::Attributes attributes;
        const ErrorCode error = api_->GetAttributes(handle, attributes);
        api_->Close(handle);
        if (error == ERROR_SUCCESS) {
            std::string location = LocationOf(*api_, path);
            interfaces.push_back({std::move(path), attributes.vendorId, attributes.productId,
                                  attributes.version, std::move(location)});
        }
    }
    return interfaces;
}

std::unique_ptr<HidDevice> WindowsHidBackend::Open(const std::string& path) {
    Handle handle = nullptr;
    if (const ErrorCode error = api_->OpenPath(path, false, handle)) {
        throw SystemError(error, "open " + path);
    }
    return std::make_unique<WindowsHidDevice>(api_, path, handle);
}

}  // namespace velt
