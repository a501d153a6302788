#include "device/windows/WindowsDeviceMonitor.h"

#include <chrono>
#include <utility>

namespace velt {

namespace {
constexpr std::uint64_t kPassEveryMs = 1000;  // without notifications
}

WindowsDeviceMonitor::WindowsDeviceMonitor(
    std::unique_ptr<windows::DeviceNotifications> notifications, Clock* clock)
    : notifications_(notifications ? std::move(notifications)
                                   : std::make_unique<windows::WindowNotifications>()),
      ownClock_(clock ? nullptr : std::make_unique<SteadyClock>()),
      clock_(clock ? *clock : *ownClock_),
      lastPassMs_(clock_.NowMs()) {}

bool WindowsDeviceMonitor::WaitForChange(std::uint32_t timeoutMs) {
    if (!started_) {
        started_ = true;
        notified_ = notifications_->Start([this] {
            {
                const std::lock_guard lock(mutex_);
                pending_ = true;
            }
            changed_.notify_all();
        }) == 0;
        if (notified_) {
            return true;  // nothing listened before
        }
    }
    if (notified_) {
        std::unique_lock lock(mutex_);
        // One answer for whatever was told since the last wait.
        const bool changed = changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                               [this] { return pending_; });
        pending_ = false;
        return changed;
    }
    const std::uint64_t now = clock_.NowMs();
    const std::uint64_t due = lastPassMs_ + kPassEveryMs;
    if (due > now + timeoutMs) {
        clock_.SleepMs(timeoutMs);
        return false;
    }
    if (due > now) {
        clock_.SleepMs(static_cast<std::uint32_t>(due - now));
    }
    lastPassMs_ = clock_.NowMs();
    return true;
}

}  // namespace velt
