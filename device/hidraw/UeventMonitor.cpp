#include "device/hidraw/UeventMonitor.h"

#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

namespace velt::hidraw {

namespace {
constexpr std::uint32_t kKernelGroup = 1;  // udev's own group (2) needs the daemon

// Milliseconds left until `deadline`, as poll() takes them.
int MsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    return static_cast<int>(std::clamp<std::int64_t>(left, 0, INT_MAX));
}
}  // namespace

bool IsHidrawChange(std::string_view message) {
    const std::size_t headerEnd = std::min(message.find('\0'), message.size());
    const std::string_view header = message.substr(0, headerEnd);
    const std::size_t at = header.find('@');
    if (at == std::string_view::npos) {
        return false;  // not the kernel's format
    }
    const std::string_view action = header.substr(0, at);
    if (action != "add" && action != "remove") {
        return false;
    }
    for (std::size_t start = headerEnd + 1; start < message.size();) {
        const std::size_t end = std::min(message.find('\0', start), message.size());
        if (message.substr(start, end - start) == "SUBSYSTEM=hidraw") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

UeventMonitor::UeventMonitor()
    : fd_(socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT)) {
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = kKernelGroup;
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

UeventMonitor::~UeventMonitor() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool UeventMonitor::WaitForChange(std::uint32_t timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    if (fd_ < 0) {
        // Without events, the caller looks again after every timeout. A signal ends poll().
        return poll(nullptr, 0, MsUntil(deadline)) == 0;
    }
    char buffer[8192];  // a uevent is at most 2 KiB of variables plus its header
    bool changed = false;
    while (!changed) {
        pollfd ready{fd_, POLLIN, 0};
        const int polled = poll(&ready, 1, MsUntil(deadline));
        if (polled <= 0) {
            return false;  // the timeout, or a signal
        }
        const ssize_t length = recv(fd_, buffer, sizeof buffer, 0);
        // An error other than "nothing after all" (ENOBUFS: the kernel dropped events that
        // came too fast) may have hidden ours: the caller had better look.
        changed = length >= 0 ? IsHidrawChange({buffer, static_cast<std::size_t>(length)})
                              : errno != EAGAIN && errno != EINTR;
    }
    // Events come in bursts (the USB device, its interfaces, the HID device, the node): one
    // answer for the burst.
    for (int drained = 0; drained < 1000; ++drained) {
        if (recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT) < 0 && errno != ENOBUFS) {
            break;
        }
    }
    return true;
}

}  // namespace velt::hidraw
