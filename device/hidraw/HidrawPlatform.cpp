#include "HidrawPlatform.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <span>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "ReportDescriptor.h"
#include "Utf16.h"

namespace velt {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kNodePrefix = "hidraw";

// The number N of a node name "hidrawN", or nullopt for any other name.
std::optional<std::uint64_t> NodeNumber(std::string_view name) {
    if (name.size() <= kNodePrefix.size() || name.substr(0, kNodePrefix.size()) != kNodePrefix) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(kNodePrefix.size());
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

// The node name of a device path ("/dev/hidraw3" -> "hidraw3"), or nullopt.
std::optional<std::string> NodeName(const std::string& path) {
    std::string name = fs::path(path).filename().string();
    if (!NodeNumber(name)) {
        return std::nullopt;
    }
    return name;
}

// The whole of a small file (sysfs attributes are at most a page), or nullopt when it
// cannot be read.
std::optional<std::string> ReadSmallFile(const fs::path& path) {
    constexpr std::size_t kLimit = 64 * 1024;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::string text;
    char chunk[4096];
    bool ok = true;
    while (text.size() < kLimit) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            ok = false;
            break;
        }
        if (got == 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(got));
    }
    ::close(fd);
    if (!ok) {
        return std::nullopt;
    }
    if (text.size() > kLimit) {
        text.resize(kLimit);
    }
    return text;
}

std::string_view Trim(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// 1 to 8 hex digits, nothing else.
std::optional<std::uint32_t> ParseHex(std::string_view text) {
    if (text.empty() || text.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The lines of a uevent file.
std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

HidrawPlatform::HidrawPlatform(std::string sysfsRoot, std::string devRoot,
                               std::unique_ptr<hidraw::HidrawIo> io)
    : sysfsRoot_(std::move(sysfsRoot)),
      devRoot_(std::move(devRoot)),
      io_(io ? std::move(io) : std::make_unique<hidraw::SystemHidrawIo>()) {}

HidrawPlatform::~HidrawPlatform() {
    for (const auto& [fd, name] : openNodes_) {
        (void)name;
        io_->Close(fd);
    }
}

fs::path HidrawPlatform::ClassDirectory() const {
    return fs::path(sysfsRoot_) / "class" / "hidraw";
}

std::unique_ptr<HidInterfaceList> HidrawPlatform::ListInterfaces() {
    std::vector<std::pair<std::uint64_t, std::string>> nodes;
    std::error_code error;
    fs::directory_iterator it(ClassDirectory(), error);
    const fs::directory_iterator end;
    // No class directory (hidraw not loaded): no interfaces.
    while (!error && it != end) {
        std::string name = it->path().filename().string();
        if (const auto number = NodeNumber(name)) {
            nodes.emplace_back(*number, std::move(name));
        }
        it.increment(error);
    }
    std::sort(nodes.begin(), nodes.end());

    std::vector<std::string> paths;
    paths.reserve(nodes.size());
    for (const auto& node : nodes) {
        paths.push_back((fs::path(devRoot_) / node.second).string());
    }
    return std::make_unique<SnapshotInterfaceList>(std::move(paths));
}

OpenError HidrawPlatform::OpenErrorFromErrno(int error) {
    switch (error) {
        case 0:
            return OpenError::None;
        case EACCES:
        case EPERM:
            return OpenError::PermissionDenied;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return OpenError::NotFound;
        case EBUSY:
        case EWOULDBLOCK:  // == EAGAIN on Linux
            return OpenError::Busy;
        default:
            return OpenError::Other;
    }
}

HidHandle HidrawPlatform::Open(const std::string& path, bool overlapped) {
    const int fd = io_->Open(path);
    if (fd < 0) {
        lastOpenError_ = OpenErrorFromErrno(-fd);
        return kInvalidHandle;
    }
    if (!overlapped && io_->LockExclusive(fd) < 0) {
        // Another open file (another running copy of the tool) holds the device.
        io_->Close(fd);
        lastOpenError_ = OpenError::Busy;
        return kInvalidHandle;
    }
    openNodes_[fd] = NodeName(path).value_or(std::string());
    lastOpenError_ = OpenError::None;
    return static_cast<HidHandle>(fd);
}

bool HidrawPlatform::PeekProductId(const std::string& path, std::uint16_t& productId) {
    const auto name = NodeName(path);
    if (!name) {
        return false;
    }
    const auto uevent = ReadSmallFile(ClassDirectory() / *name / "device" / "uevent");
    if (!uevent) {
        return false;
    }
    constexpr std::string_view kKey = "HID_ID=";
    for (const std::string_view line : Lines(*uevent)) {
        if (line.substr(0, kKey.size()) != kKey) {
            continue;
        }
        // HID_ID=BBBB:VVVVVVVV:PPPPPPPP (bus, vendor, product; hex)
        const std::string_view value = Trim(line.substr(kKey.size()));
        const std::size_t first = value.find(':');
        if (first == std::string_view::npos) {
            return false;
        }
        const std::size_t second = value.find(':', first + 1);
        if (second == std::string_view::npos) {
            return false;
        }
        const auto bus = ParseHex(value.substr(0, first));
        const auto vendor = ParseHex(value.substr(first + 1, second - first - 1));
        const auto product = ParseHex(value.substr(second + 1));
        if (!bus || !vendor || !product) {
            return false;
        }
        productId = static_cast<std::uint16_t>(*product & 0xFFFF);
        return true;
    }
    return false;
}

std::optional<std::pair<int, std::string>> HidrawPlatform::Lookup(HidHandle handle) const {
    if (handle < 0 || handle > INT_MAX) {
        return std::nullopt;
    }
    const auto it = openNodes_.find(static_cast<int>(handle));
    if (it == openNodes_.end()) {
        return std::nullopt;
    }
    return *it;
}

bool HidrawPlatform::Close(HidHandle handle) {
    const auto node = Lookup(handle);
    if (!node) {
        return false;
    }
    openNodes_.erase(node->first);
    return io_->Close(node->first) == 0;
}

std::optional<HidrawPlatform::RawInfo> HidrawPlatform::QueryRawInfo(int fd) {
    hidraw_devinfo info{};
    if (io_->Ioctl(fd, HIDIOCGRAWINFO, &info) < 0) {
        return std::nullopt;  // ENODEV once the device is gone
    }
    // The kernel hands vendor and product out as signed 16-bit values: 0xB038 arrives
    // as a negative number.
    return RawInfo{info.bustype, static_cast<std::uint16_t>(info.vendor),
                   static_cast<std::uint16_t>(info.product)};
}

std::optional<fs::path> HidrawPlatform::UsbDeviceDirectory(const std::string& name) const {
    if (name.empty()) {
        return std::nullopt;
    }
    std::error_code error;
    // hidrawN/device is a symlink to the HID device (…/1-1:1.0/0003:VVVV:PPPP.NNNN);
    // its parent is the USB interface, its grandparent the USB device.
    const fs::path hidDevice = fs::canonical(ClassDirectory() / name / "device", error);
    if (error) {
        return std::nullopt;
    }
    const fs::path usbDevice = hidDevice.parent_path().parent_path();
    const auto uevent = ReadSmallFile(usbDevice / "uevent");
    if (!uevent) {
        return std::nullopt;
    }
    for (const std::string_view line : Lines(*uevent)) {
        if (Trim(line) == "DEVTYPE=usb_device") {
            return usbDevice;
        }
    }
    return std::nullopt;
}

bool HidrawPlatform::GetAttributes(HidHandle handle, HiddAttributes& attributes) {
    const auto node = Lookup(handle);
    if (!node) {
        return false;
    }
    const auto info = QueryRawInfo(node->first);
    if (!info) {
        return false;
    }
    attributes.VendorID = info->vendor;
    attributes.ProductID = info->product;
    attributes.VersionNumber = 0;
    if (info->bustype == BUS_USB) {
        if (const auto usbDevice = UsbDeviceDirectory(node->second)) {
            if (const auto text = ReadSmallFile(*usbDevice / "bcdDevice")) {
                const auto version = ParseHex(Trim(*text));
                if (version && *version <= 0xFFFF) {
                    attributes.VersionNumber = static_cast<std::uint16_t>(*version);
                }
            }
        }
    }
    return true;
}

bool HidrawPlatform::GetCaps(HidHandle handle, HidpCaps& caps) {
    const auto node = Lookup(handle);
    if (!node) {
        return false;
    }
    int size = 0;
    if (io_->Ioctl(node->first, HIDIOCGRDESCSIZE, &size) < 0 || size < 0) {
        return false;
    }
    // The kernel refuses HIDIOCGRDESC with a size above HID_MAX_DESCRIPTOR_SIZE - 1
    // (EINVAL), although a descriptor may be HID_MAX_DESCRIPTOR_SIZE bytes long; its last
    // byte is then not read (the parser takes a cut item as the end).
    auto descriptor = std::make_unique<hidraw_report_descriptor>();
    descriptor->size = static_cast<std::uint32_t>(std::min<int>(size, HID_MAX_DESCRIPTOR_SIZE - 1));
    if (io_->Ioctl(node->first, HIDIOCGRDESC, descriptor.get()) < 0) {
        return false;
    }
    const std::size_t length = std::min<std::size_t>(descriptor->size, sizeof descriptor->value);
    const auto summary =
        hidraw::ParseReportDescriptor(std::span<const std::uint8_t>(descriptor->value, length));

    caps = HidpCaps{};
    caps.UsagePage = summary.usagePage;
    caps.Usage = summary.usage;
    caps.InputReportByteLength = summary.inputReportByteLength;
    caps.OutputReportByteLength = summary.outputReportByteLength;
    caps.FeatureReportByteLength = summary.featureReportByteLength;
    return true;
}

bool HidrawPlatform::GetString(HidHandle handle, HidString which, std::uint8_t* buffer,
                               std::size_t byteLength) {
    const auto node = Lookup(handle);
    if (!node) {
        return false;
    }
    // The kernel read the strings at enumeration; first make sure the handle still
    // reaches a present device.
    const auto info = QueryRawInfo(node->first);
    if (!info || info->bustype != BUS_USB) {
        return false;
    }
    const auto usbDevice = UsbDeviceDirectory(node->second);
    if (!usbDevice) {
        return false;
    }
    const char* attribute = "manufacturer";
    switch (which) {
        case HidString::Manufacturer:
            attribute = "manufacturer";
            break;
        case HidString::Product:
            attribute = "product";
            break;
        case HidString::SerialNumber:
            attribute = "serial";
            break;
    }
    const auto text = ReadSmallFile(*usbDevice / attribute);
    if (!text) {
        return false;
    }
    std::string_view value = *text;
    if (!value.empty() && value.back() == '\n') {
        value.remove_suffix(1);
    }
    return hidraw::WriteUtf16Le(hidraw::Utf8ToUtf16(value), buffer, byteLength);
}

bool HidrawPlatform::SetFeature(HidHandle handle, const std::uint8_t* report, std::size_t length) {
    const auto node = Lookup(handle);
    if (!node || report == nullptr || length == 0 || length > _IOC_SIZEMASK) {
        return false;  // the length must fit the ioctl number's size field
    }
    std::vector<std::uint8_t> buffer(report, report + length);
    return io_->Ioctl(node->first, HIDIOCSFEATURE(length), buffer.data()) >= 0;
}

void HidrawPlatform::Sleep(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace velt
