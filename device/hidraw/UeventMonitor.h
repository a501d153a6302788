#pragma once

#include <cstdint>
#include <string_view>

#include "device/DeviceMonitor.h"

namespace velt::hidraw {

// Whether one kernel uevent message ("add@/devices/...\0ACTION=add\0SUBSYSTEM=hidraw\0...")
// tells of a hidraw node added or removed.
bool IsHidrawChange(std::string_view message);

// The kernel's device events, read from its uevent netlink group rather than from udev's, so
// that watching works where no udev daemon runs. Where the socket cannot be made, every wait
// lasts its whole timeout and then says that devices may have changed.
class UeventMonitor final : public DeviceMonitor {
  public:
    UeventMonitor();
    ~UeventMonitor() override;
    UeventMonitor(const UeventMonitor&) = delete;
    UeventMonitor& operator=(const UeventMonitor&) = delete;

    bool WaitForChange(std::uint32_t timeoutMs) override;

  private:
    int fd_;  // -1: no socket
};

}  // namespace velt::hidraw
