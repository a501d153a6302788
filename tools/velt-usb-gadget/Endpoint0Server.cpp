#include "tools/velt-usb-gadget/Endpoint0Server.h"

#include <endian.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <thread>

#include "device/VeltProtocol.h"
#include "tools/velt-usb-gadget/Sysfs.h"

namespace velt::vm {

namespace {

bool FileExists(const std::string& path) {
    struct stat info;
    return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

}  // namespace

Endpoint0Server::Endpoint0Server(const GadgetOptions& options)
    : options_(options),
      logic_(options.other ? DeviceMode::Other
             : options.identity.productId == protocol::bootloaderProductId
                 ? DeviceMode::Bootloader
                 : DeviceMode::Application,
             options.vanishAfter,
             [this](const std::vector<std::uint8_t>& record) { KeepRecord(record); }) {}

bool Endpoint0Server::Start() {
    std::string error;
    if (!options_.recordsFile.empty()) {
        // Truncated now, so that a device that takes nothing leaves an empty file.
        recordsFd_ =
            ::open(options_.recordsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (recordsFd_ < 0) {
            return Fail(options_.recordsFile + ": " + std::strerror(errno));
        }
    }
    if (!options_.legacy) {
        if (options_.udc.empty()) {
            const auto udc = FirstUdc();
            if (!udc) {
                return Fail("no USB device controller in /sys/class/udc");
            }
            options_.udc = *udc;
        }
        if (!gadget_.Create(options_.name, options_.identity, error)) {
            return Fail(error);
        }
    }
    if (!function_.Open(options_.name, "/dev/ffs-" + options_.name, VeltReportDescriptor(),
                        error)) {
        return Fail(error);
    }
    if (!options_.legacy) {
        if (!gadget_.LinkFunction(error) || !gadget_.Bind(options_.udc, error)) {
            return Fail(error);
        }
    }
    Log("on the bus as %04x:%04x", options_.identity.vendorId, options_.identity.productId);
    if (!options_.readyFile.empty()) {
        TouchFile(options_.readyFile);
    }
    return true;
}

void Endpoint0Server::Run(const volatile sig_atomic_t& stop) {
    while (!stop && !FileExists(options_.stopFile)) {
        pollfd descriptor{function_.ep0(), POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, 50);
        if (ready < 0 && errno != EINTR) {
            Log("poll ep0: %s", std::strerror(errno));
            break;
        }
        if (ready <= 0) {
            continue;
        }
        usb_functionfs_event events[4];
        const ssize_t got = ::read(function_.ep0(), events, sizeof events);
        if (got < 0) {
            if (errno != EINTR && errno != EAGAIN) {
                // EBADFD while the function is not active: wait for it to return.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            continue;
        }
        const std::size_t count = static_cast<std::size_t>(got) / sizeof events[0];
        for (std::size_t i = 0; i < count; ++i) {
            Handle(events[i]);
        }
    }
}

void Endpoint0Server::Stop() {
    std::printf("%s\n", logic_.Summary().c_str());
    std::printf("%s\n", logic_.Detail().c_str());
    for (const std::string& line : logic_.log()) {
        std::printf("gadget-log: %s\n", line.c_str());
    }
    if (!recordsError_.empty()) {
        std::printf("gadget-log: records file: %s\n", recordsError_.c_str());
    }
    std::fflush(stdout);
    if (recordsFd_ >= 0) {
        ::close(recordsFd_);
        recordsFd_ = -1;
    }
    std::string error;
    if (!options_.legacy) {
        gadget_.Unbind(error);
    }
    function_.Close();
    if (!options_.legacy) {
        gadget_.Destroy();
    }
}

bool Endpoint0Server::Fail(const std::string& message) {
    std::fprintf(stderr, "velt-usb-gadget: %s\n", message.c_str());
    return false;
}

void Endpoint0Server::Log(const char* format, ...) {
    if (!options_.verbose) {
        return;
    }
    std::fprintf(stderr, "velt-usb-gadget[%s]: ", options_.name.c_str());
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
}

// Written as each record arrives, so that the file holds what the device took even if
// the program is killed before its summary.
void Endpoint0Server::KeepRecord(const std::vector<std::uint8_t>& record) {
    if (recordsFd_ < 0 || !recordsError_.empty()) {
        return;
    }
    std::size_t done = 0;
    while (done < record.size()) {
        const ssize_t wrote = ::write(recordsFd_, record.data() + done, record.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            recordsError_ = wrote < 0 ? std::strerror(errno) : "short write";
            std::fprintf(stderr, "velt-usb-gadget: %s: %s\n", options_.recordsFile.c_str(),
                         recordsError_.c_str());
            return;
        }
        done += static_cast<std::size_t>(wrote);
    }
}

void Endpoint0Server::TouchFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
    }
}

void Endpoint0Server::Handle(const usb_functionfs_event& event) {
    switch (event.type) {
        case FUNCTIONFS_SETUP:
            Setup(event.u.setup);
            break;
        case FUNCTIONFS_ENABLE:
            Log("enabled");
            break;
        case FUNCTIONFS_DISABLE:
            Log("disabled");
            break;
        case FUNCTIONFS_BIND:
            Log("bound");
            break;
        case FUNCTIONFS_UNBIND:
            Log("unbound");
            break;
        default:
            break;
    }
}

// Data stage towards the host.
void Endpoint0Server::Reply(const void* data, std::size_t length) {
    if (::write(function_.ep0(), data, length) < 0) {
        Log("ep0 reply: %s", std::strerror(errno));
    }
}

// A stall is the data stage in the wrong direction.
void Endpoint0Server::Stall(const usb_ctrlrequest& request) {
    if (request.bRequestType & USB_DIR_IN) {
        [[maybe_unused]] ssize_t ignored = ::read(function_.ep0(), nullptr, 0);
    } else {
        [[maybe_unused]] ssize_t ignored = ::write(function_.ep0(), nullptr, 0);
    }
}

void Endpoint0Server::Setup(const usb_ctrlrequest& request) {
    const unsigned value = le16toh(request.wValue);
    const unsigned length = le16toh(request.wLength);
    const unsigned kind = (request.bRequestType << 8) | request.bRequest;
    constexpr unsigned kInStandardInterface = USB_DIR_IN | USB_TYPE_STANDARD | USB_RECIP_INTERFACE;
    constexpr unsigned kInClassInterface = USB_DIR_IN | USB_TYPE_CLASS | USB_RECIP_INTERFACE;
    constexpr unsigned kOutClassInterface = USB_DIR_OUT | USB_TYPE_CLASS | USB_RECIP_INTERFACE;
    constexpr unsigned kGetReport = 0x01, kGetIdle = 0x02, kGetProtocol = 0x03;
    constexpr unsigned kSetReport = 0x09, kSetIdle = 0x0a, kSetProtocol = 0x0b;

    Log("setup %02x %02x value=%04x length=%u", request.bRequestType, request.bRequest, value,
        length);
    if (kind == ((kInStandardInterface << 8) | USB_REQ_GET_DESCRIPTOR) && (value >> 8) == 0x22) {
        const auto& descriptor = function_.reportDescriptor();
        Reply(descriptor.data(), std::min<std::size_t>(length, descriptor.size()));
    } else if (kind == ((kInClassInterface << 8) | kGetReport)) {
        std::vector<std::uint8_t> zeros(std::min<std::size_t>(length, protocol::recordSize), 0);
        Reply(zeros.data(), zeros.size());
    } else if (kind == ((kInClassInterface << 8) | kGetIdle) ||
               kind == ((kInClassInterface << 8) | kGetProtocol)) {
        const std::uint8_t byte = kind == ((kInClassInterface << 8) | kGetProtocol) ? 1 : 0;
        Reply(&byte, std::min<std::size_t>(length, 1));
    } else if (kind == ((kOutClassInterface << 8) | kSetIdle) ||
               kind == ((kOutClassInterface << 8) | kSetProtocol)) {
        [[maybe_unused]] ssize_t ignored = ::read(function_.ep0(), nullptr, 0);
    } else if (kind == ((kOutClassInterface << 8) | kSetReport)) {
        SetReport(static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value), length);
    } else {
        Stall(request);
    }
}

void Endpoint0Server::SetReport(std::uint8_t type, std::uint8_t reportId, unsigned length) {
    std::vector<std::uint8_t> data(length);
    // Reading the data stage is what acknowledges the request to the host.
    const ssize_t got = ::read(function_.ep0(), data.data(), data.size());
    if (got < 0) {
        Log("SET_REPORT data: %s", std::strerror(errno));
        return;
    }
    data.resize(static_cast<std::size_t>(got));
    const DeviceAction action = logic_.OnSetReport(type, reportId, data);
    if (options_.other) {
        // Said at once too, so that a hang later cannot hide it.
        std::fprintf(stderr, "velt-usb-gadget[%s]: received a report: type=%u id=%u length=%zu\n",
                     options_.name.c_str(), type, reportId, data.size());
    }
    std::string error;
    switch (action) {
        case DeviceAction::None:
            break;
        case DeviceAction::SwitchToBootloader:
            SwitchToBootloader();
            break;
        case DeviceAction::Vanish:
            Log("leaving the bus after record %d", logic_.records());
            if (options_.legacy || !gadget_.Unbind(error)) {
                std::fprintf(stderr, "velt-usb-gadget: could not leave the bus: %s\n",
                             options_.legacy ? "legacy gadget" : error.c_str());
                break;
            }
            if (options_.returnAfterMs > 0) {
                // Back as a fresh bootloader-mode device that a careful host leaves alone.
                std::this_thread::sleep_for(std::chrono::milliseconds(options_.returnAfterMs));
                if (!gadget_.SetProductId(protocol::bootloaderProductId, error) ||
                    !gadget_.Bind(options_.udc, error)) {
                    std::fprintf(stderr, "velt-usb-gadget: coming back: %s\n", error.c_str());
                }
            }
            break;
    }
}

void Endpoint0Server::SwitchToBootloader() {
    if (options_.legacy) {
        std::fprintf(stderr, "velt-usb-gadget: a legacy gadget cannot switch modes\n");
        return;
    }
    std::string error;
    // A device that takes a while to restart: it stays on the bus, as the application,
    // for this long after it took the command.
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.leaveAfterMs));
    Log("mode switch: leaving the bus for %d ms", options_.detachMs);
    if (!gadget_.Unbind(error)) {
        std::fprintf(stderr, "velt-usb-gadget: unbind: %s\n", error.c_str());
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.detachMs));
    if (!gadget_.SetProductId(protocol::bootloaderProductId, error) ||
        !gadget_.Bind(options_.udc, error)) {
        std::fprintf(stderr, "velt-usb-gadget: back as bootloader: %s\n", error.c_str());
        return;
    }
    logic_.EnteredBootloader();
    Log("back on the bus as %04x:%04x", options_.identity.vendorId, protocol::bootloaderProductId);
}

}  // namespace velt::vm
