#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "device/DeviceMonitor.h"
#include "device/windows/HidCalls.h"
#include "platform/Clock.h"

namespace velt {

namespace windows {

// How the system tells of HID interfaces arriving and leaving, behind an interface so that
// tests can stand a fake in.
class DeviceNotifications {
  public:
    // No call of the callback once this returns.
    virtual ~DeviceNotifications() = default;
    // Starts calling `changed`, from a thread of its own, whenever a HID interface arrives
    // or leaves. Returns the GetLastError() code of the failure, or 0. Called once.
    virtual ErrorCode Start(std::function<void()> changed) = 0;
};

// RegisterDeviceNotification on a message-only window that a thread of its own pumps.
// CM_Register_Notification would need no window, but wine 8 has no such call and
// MinGW-w64 declares none. Wine 8 sends these for its HID devices arriving and leaving.
class WindowNotifications final : public DeviceNotifications {
  public:
    WindowNotifications();
    ~WindowNotifications() override;
    WindowNotifications(const WindowNotifications&) = delete;
    WindowNotifications& operator=(const WindowNotifications&) = delete;

    ErrorCode Start(std::function<void()> changed) override;

  private:
    struct Pump;
    std::unique_ptr<Pump> pump_;
};

}  // namespace windows

// Device arrival on Windows: a wait ends as soon as the system tells of a HID interface
// that arrived or left. Where the system will not tell, a wait says that devices may
// have changed once a second at most, so that watching costs a discovery pass a second.
// It listens from the first wait on (a program that never waits pays nothing), so that wait
// says at once that devices may have changed. One thread waits at a time.
class WindowsDeviceMonitor final : public DeviceMonitor {
  public:
    // Null: the system's notifications, on the real clock.
    explicit WindowsDeviceMonitor(
        std::unique_ptr<windows::DeviceNotifications> notifications = nullptr,
        Clock* clock = nullptr);

    bool WaitForChange(std::uint32_t timeoutMs) override;

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool pending_ = false;
    // After what its callback reaches, so that it stops before they go.
    std::unique_ptr<windows::DeviceNotifications> notifications_;
    bool started_ = false;
    bool notified_ = false;  // the system tells of changes
    std::unique_ptr<Clock> ownClock_;
    Clock& clock_;
    std::uint64_t lastPassMs_;  // when a wait last said "may have changed", without notifications
};

}  // namespace velt
