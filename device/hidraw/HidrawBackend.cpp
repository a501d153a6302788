#include "device/hidraw/HidrawBackend.h"

#include <linux/hidraw.h>
#include <linux/input.h>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <sstream>
#include <string_view>
#include <system_error>
#include <utility>

#include "device/IdentityText.h"
#include "device/hidraw/ReportDescriptor.h"
#include "device/hidraw/SysfsText.h"

namespace velt {

namespace fs = std::filesystem;
using hidraw::NodeNumber;
using hidraw::ParseHex;
using hidraw::UeventValue;

namespace {

// The one place where an errno becomes a kind.
DeviceErrorKind KindOfErrno(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return DeviceErrorKind::PermissionDenied;
        case EBUSY:
        case EWOULDBLOCK:  // == EAGAIN; from flock(): another open file holds the device
            return DeviceErrorKind::Busy;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return DeviceErrorKind::Disconnected;
        case EPIPE:  // the device stalled the control request
            return DeviceErrorKind::Refused;
        case ENOTTY:      // the node is no hidraw node
        case EINVAL:      // the kernel turned the request down before it reached the device
        case EOPNOTSUPP:  // the HID transport driver has no such request
            return DeviceErrorKind::NotSupported;
        default:
            return DeviceErrorKind::Io;
    }
}

std::string Describe(const std::string& what, int error) {
    return what + ": " + std::generic_category().message(error);
}

DeviceError ErrnoError(int error, const std::string& what) {
    return DeviceError(KindOfErrno(error), error, Describe(what, error));
}

// A sysfs attribute or uevent (at most a page), or nullopt when it cannot be read.
std::optional<std::string> ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// HID_ID from the HID device's uevent.
std::optional<hidraw::HidId> ReadHidId(const fs::path& classEntry) {
    const auto uevent = ReadFile(classEntry / "device" / "uevent");
    const auto value = uevent ? UeventValue(*uevent, "HID_ID") : std::nullopt;
    return value ? hidraw::ParseHidId(*value) : std::nullopt;
}

// The USB device directory of a class entry <sysfs>/class/hidraw/hidrawN, or nullopt.
std::optional<fs::path> UsbDeviceDirectory(const fs::path& classEntry) {
    if (classEntry.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    // hidrawN/device links to the HID device (…/1-1:1.0/0003:VVVV:PPPP.NNNN).
    const fs::path hidDevice = fs::canonical(classEntry / "device", error);
    if (error) {
        return std::nullopt;
    }
    const fs::path usbDevice = hidDevice.parent_path().parent_path();
    const auto uevent = ReadFile(usbDevice / "uevent");
    if (!uevent || UeventValue(*uevent, "DEVTYPE") != "usb_device") {
        return std::nullopt;  // a virtual (uhid) or I2C device: the files there mean other things
    }
    return usbDevice;
}

std::string WithoutNewline(std::string text) {
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    return text;
}

class HidrawDevice final : public HidDevice {
  public:
    HidrawDevice(std::shared_ptr<hidraw::HidrawIo> io, int fd, std::string path,
                 fs::path classEntry)
        : io_(std::move(io)), fd_(fd), path_(std::move(path)), classEntry_(std::move(classEntry)) {}
    ~HidrawDevice() override { io_->Close(fd_); }

    HidrawDevice(const HidrawDevice&) = delete;
    HidrawDevice& operator=(const HidrawDevice&) = delete;

    std::uint16_t FeatureReportLength() override {
        if (!featureReportLength_) {
            featureReportLength_ = ReadFeatureReportLength();
        }
        return *featureReportLength_;
    }

    std::string GetString(HidString which) override {
        // sysfs may show the strings a while after the device left: the node tells first.
        hidraw_devinfo info{};
        Ioctl(HIDIOCGRAWINFO, &info, "HIDIOCGRAWINFO");
        const char* attribute = which == HidString::Manufacturer ? "manufacturer"
                                : which == HidString::Product    ? "product"
                                                                 : "serial";
        const auto usbDevice =
            info.bustype == BUS_USB ? UsbDeviceDirectory(classEntry_) : std::nullopt;
        // The kernel leaves out the attribute of a string the device does not have.
        const auto text = usbDevice ? ReadFile(*usbDevice / attribute) : std::nullopt;
        if (!text) {
            throw DeviceError(DeviceErrorKind::NotSupported, ENOENT,
                              path_ + ": no USB " + attribute + " string");
        }
        return ClampIdentityText(WithoutNewline(*text));
    }

    void SendFeatureReport(std::span<const std::uint8_t> report) override {
        const std::string what = "send feature report to " + path_;
        // The length travels in the ioctl number's 14-bit size field.
        if (report.empty() || report.size() > _IOC_SIZEMASK) {
            throw ErrnoError(EINVAL, what);
        }
        std::vector<std::uint8_t> buffer(report.begin(), report.end());  // the ioctl takes no const
        const int sent = io_->Ioctl(fd_, HIDIOCSFEATURE(buffer.size()), buffer.data());
        if (sent >= 0) {
            return;
        }
        const int error = -sent;
        if (KindOfErrno(error) == DeviceErrorKind::Io) {
            // USB reports a transfer cut short by unplugging as EIO, EPROTO, ETIMEDOUT..., as
            // it does one the device garbled; only the node knows whether the device is gone.
            hidraw_devinfo info{};
            const int probe = io_->Ioctl(fd_, HIDIOCGRAWINFO, &info);
            if (probe < 0 && KindOfErrno(-probe) == DeviceErrorKind::Disconnected) {
                throw DeviceError(DeviceErrorKind::Disconnected, error,
                                  Describe(what, error) + " (the device left the bus)");
            }
        }
        throw ErrnoError(error, what);
    }

  private:
    void Ioctl(unsigned long request, void* arg, const char* name) {
        if (const int result = io_->Ioctl(fd_, request, arg); result < 0) {
            throw ErrnoError(-result, std::string(name) + " on " + path_);
        }
    }

    std::uint16_t ReadFeatureReportLength() {
        int size = 0;
        Ioctl(HIDIOCGRDESCSIZE, &size, "HIDIOCGRDESCSIZE");
        // The kernel refuses HIDIOCGRDESC with a size above HID_MAX_DESCRIPTOR_SIZE - 1
        // (EINVAL), although a descriptor may be HID_MAX_DESCRIPTOR_SIZE bytes long; its last
        // byte is then not read (the parser takes a cut item as the end).
        auto descriptor = std::make_unique<hidraw_report_descriptor>();
        descriptor->size =
            static_cast<std::uint32_t>(std::clamp(size, 0, HID_MAX_DESCRIPTOR_SIZE - 1));
        Ioctl(HIDIOCGRDESC, descriptor.get(), "HIDIOCGRDESC");
        const std::size_t length =
            std::min<std::size_t>(descriptor->size, sizeof descriptor->value);
        return hidraw::ParseReportDescriptor(std::span(descriptor->value, length))
            .featureReportByteLength;
    }

    std::shared_ptr<hidraw::HidrawIo> io_;
    int fd_;
    std::string path_;
    fs::path classEntry_;  // empty when the path names no hidraw node
    std::optional<std::uint16_t> featureReportLength_;
};

}  // namespace

HidrawBackend::HidrawBackend(std::string sysfsRoot, std::string devRoot,
                             std::unique_ptr<hidraw::HidrawIo> io)
    : sysfsRoot_(std::move(sysfsRoot)),
      devRoot_(std::move(devRoot)),
      io_(io ? std::move(io) : std::make_unique<hidraw::SystemHidrawIo>()) {}

std::vector<HidInterfaceInfo> HidrawBackend::ListInterfaces() {
    const fs::path classDirectory = fs::path(sysfsRoot_) / "class" / "hidraw";
    std::vector<std::pair<std::uint64_t, std::string>> nodes;
    std::error_code error;
    fs::directory_iterator it(classDirectory, error);
    // No class directory (hidraw not loaded): no interfaces.
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (const auto number = NodeNumber(name)) {
            nodes.emplace_back(*number, std::move(name));
        }
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<HidInterfaceInfo> interfaces;
    for (const auto& [number, name] : nodes) {
        HidInterfaceInfo& info = interfaces.emplace_back();
        info.path = (fs::path(devRoot_) / name).string();
        const auto id = ReadHidId(classDirectory / name);
        if (!id) {
            continue;
        }
        info.vendorId = id->vendor;
        info.productId = id->product;
        const auto usbDevice =
            id->bus == BUS_USB ? UsbDeviceDirectory(classDirectory / name) : std::nullopt;
        if (usbDevice) {
            info.location = usbDevice->filename().string();  // the port path, such as 1-1.3
        }
        const auto text = usbDevice ? ReadFile(*usbDevice / "bcdDevice") : std::nullopt;
        const auto version = text ? ParseHex(WithoutNewline(*text)) : std::nullopt;
        if (version && *version <= 0xFFFF) {
            info.version = static_cast<std::uint16_t>(*version);
        }
    }
    return interfaces;
}

std::unique_ptr<HidDevice> HidrawBackend::Open(const std::string& path) {
    const int fd = io_->Open(path);
    if (fd < 0) {
        throw ErrnoError(-fd, "open " + path);
    }
    if (const int locked = io_->LockExclusive(fd); locked < 0) {
        io_->Close(fd);
        throw ErrnoError(-locked, "lock " + path);
    }
    const std::string name = fs::path(path).filename().string();
    fs::path classEntry;
    if (NodeNumber(name)) {
        classEntry = fs::path(sysfsRoot_) / "class" / "hidraw" / name;
    }
    return std::make_unique<HidrawDevice>(io_, fd, path, std::move(classEntry));
}

}  // namespace velt
